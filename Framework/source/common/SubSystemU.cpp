#include "SubSystemU.h"

TSubSystem::~TSubSystem() {
  if (Active) TSubSystem::Finalize();
}

bool TSubSystem::Initialize() {
  if (Active) return false;
  Active = true;
  return true;
}

void TSubSystem::Finalize() {
  Active = false;
}

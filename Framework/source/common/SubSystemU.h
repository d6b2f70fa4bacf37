#pragma once
// Base class of the long-lived services (console, file system, image managers).
#include <cstdint>
#include <string>

class TSubSystem {
 public:
  TSubSystem() = default;
  TSubSystem(const TSubSystem&) = delete;
  TSubSystem& operator=(const TSubSystem&) = delete;
  // Derived classes that extend Finalize call it from their own destructor: by the time this
  // destructor runs the derived part is gone.
  virtual ~TSubSystem();

  virtual std::string GetName() const = 0;
  // Returns true and sets Active when the subsystem was not active; otherwise does nothing.
  virtual bool Initialize();
  virtual void Finalize();

  bool Active = false;
  int32_t SubSystemId = -1;
};

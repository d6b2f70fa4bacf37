#pragma once
// Opening a Quv file for the commands as the viewer's window does, with the process palette.
#include <memory>
#include <string>

#include "QuvDocumentU.h"

// The open document; raises the reason it could not be opened ("Can not find file path "%s".",
// "Could not find %s", the archive's and the format's messages).
std::unique_ptr<TQuvDocument> OpenQuvSource(const std::string& path);

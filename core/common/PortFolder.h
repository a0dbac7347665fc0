#pragma once
// The port folder: links named comN in it make the device they point to
// COM port N. $KQ30_PORT_DIR, else $XDG_RUNTIME_DIR/kq30-ports, else
// /tmp/kq30-ports-<uid>.
#include <string>

std::string PortFolderPath();

// Creates the folder and its missing parents (mode 0700); false when it
// can't be had as a folder we may trust.
bool EnsurePortFolder(const std::string& folder);

// A folder whose links may name ports: a real folder (not a link) owned by
// this user or by root that nobody else may write to. The fallback folder
// lies in /tmp, where another user could make it first and plant links.
bool PortFolderTrusted(const std::string& folder);

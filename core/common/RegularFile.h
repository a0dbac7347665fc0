#pragma once
// The text files the program reads beside itself and in the documents folder.
#include <string>

// False when fileName names something that is there but is no regular file
// (a folder, a device, a pipe): opening a pipe put in a file's place would
// block the reader forever. The file system's answer counts only where it
// has one: on Windows the standard library spells bytes beyond ASCII in a
// name otherwise than the system's code page does, so it may miss a file
// that opens, and the open then says whether the file is there.
bool MayReadAsRegularFile(const std::string& fileName);

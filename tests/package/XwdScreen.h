// Reads the screen of a virtual X server started with -fbdir, which keeps its frame buffer
// as an XWD file, so the package test can see what a program really drew.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Calls Visit(red, green, blue) for every pixel of the 24/32-bit screen in File. False, with
// nothing visited, when the file is missing, truncated or in another pixel format.
bool VisitXwdPixels(const std::string& File,
                    const std::function<void(uint8_t, uint8_t, uint8_t)>& Visit);

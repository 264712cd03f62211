// Turns the serial port's line state into terminal attributes: the raw, immediate-return line
// the device's debug port needs. Used by TCommPort when it opens or changes speed.
#pragma once

#include <termios.h>

#include <cstdint>

#include "transport/uComms.h"

// False when the terminal interface cannot express the speed or the number of data bits.
bool CommAttributes(const TCommState& State, termios& Attributes);
bool CommSetSpeed(termios& Attributes, uint32_t BaudRate);

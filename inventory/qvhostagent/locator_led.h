// The remote locator LED of the management controller: two OEM commands of the application
// network function (0xDD reads support and state, 0xDC sets the state).
#pragma once

// Returned by Get_LEDState and Set_LEDState when the controller has no locator LED.
constexpr int kLedNotSupported = 2457;

int RLED_CheckSupported(int* supported);
int Get_LEDState(unsigned char* state);
int Set_LEDState(unsigned char on);

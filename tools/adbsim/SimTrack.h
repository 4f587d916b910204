#pragma once

class CAdbServer;

// `adb track-devices [-l]`: the device list now, and again on every change,
// each time as four hex digits of its length and then the lines of
// `adb devices [-l]`. Ends when the server goes away (kill-server) or the
// reader closes the pipe.
int TrackDevices(CAdbServer& server, bool bLong);

#pragma once

// A stand-in for the GPIB library (libgpib.so.0): the entry points the program loads with
// dlopen, serving devices that a test attaches through zepGpibStandinAttach (found with dlsym
// in the same loaded library).
extern "C" {

struct ZepGpibStandinDevice
{
    void *context;
    // One message written to the device.
    void (*write)(void *context, const char *data, long size);
    // Copies the device's answer (at most `size` bytes) to `buffer`: its length, or -1 when
    // it has none (the library's time-out).
    long (*read)(void *context, char *buffer, long size);
};

// Puts `device` (or nothing, with nullptr) at board `board`, primary address `pad`.
typedef void (*ZepGpibStandinAttach)(int board, int pad, const ZepGpibStandinDevice *device);
}

// The device entity table .1.3.6.1.4.1.93071.2.36.1.1.5: one row per entry of the store.
#pragma once

// One accessor per column: the store's text field k, or 0 health / 1 relation.
class CDeviceIOData {
public:
    explicit CDeviceIOData(int param) : iParam(param) {}
    bool GetData(int entry, int* value) const;
    // Copies at most *length bytes (always terminated) and sets *length to the bytes copied.
    bool GetData(int entry, char* text, unsigned* length) const;
    // Merges the text into the entry (an empty text rewrites the entry with the field cleared).
    bool SetData(int entry, const char* text, unsigned length) const;

    int iParam;
};

// QVDE_RegisterAgent, the server's own record merged into the store, then the 24 objects.
// False (the run ends with status 1) when the server's record cannot be stored.
bool loadDeviceObjects();

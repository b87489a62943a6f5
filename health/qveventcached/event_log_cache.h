// One event-log table row, formatted once: the agent asks column by column, and every column of
// a row comes from the same reading of the soft log.
#pragma once

#include "qveventlog.h"

#include <array>
#include <string>

class CEventLogCache {
public:
    bool FillRow(int row);
    int GetCount();
    // Each fills the row first; `*length` in: room, out: bytes written (text with its NUL).
    bool GetDate(int row, char* buffer, int* length);
    bool GetDescription(int row, char* buffer, int* length);
    bool GetTrapId(int row, char* buffer, int* length);
    // n from 1 to 8.
    bool GetVarbind(int n, int row, char* buffer, int* length);
    int HeldRow() const { return m_nRow; }

private:
    bool CopyText(int row, const std::string& text, char* buffer, int* length);

    int m_nRow = -1;
    EvtStruct m_oEvent{};
    std::array<unsigned char, 6> m_date{};
    std::string m_sDescription, m_sTrapId;
    std::array<std::string, 8> m_varbinds;
};

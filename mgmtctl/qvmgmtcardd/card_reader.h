// Reads the remote management card's FRU data through its own controller and fills the
// component record from it.
#pragma once

#include <qvcomponents.h>

inline constexpr char kCardSysObjID[] = "1.3.6.1.4.1.93071.5.5.1.1";
inline constexpr char kCardLabelLink[] = "Remote Control";
inline constexpr int kCardControllerAddress = 0x28;
inline constexpr int kCardNotRead = -2;

// 0, or kCardNotRead when the card's controller or its FRU data cannot be had. The record is
// cleared and carries the fixed fields either way.
int QVRMC_ReadFRUMultiRecord(EntityInfo* pInfo);

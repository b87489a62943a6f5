// The FRU step of the serial number search: every controller's FRU serials offered to a ranker.
#pragma once

class CIpmiSNRank;

// Offers the product, chassis and board serials of each FRU of the controllers 0x22, 0x20, 0x24
// and 0x06, in that order, until a top-ranked one is found. False when there is no IPMI system.
bool offerFruSerials(CIpmiSNRank& ranker);

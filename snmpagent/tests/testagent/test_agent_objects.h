#pragma once

// Subtree of the test agent.
inline constexpr char kTestAgentRoot[] = ".1.3.6.1.4.1.93071.2.99";
// Its settings file, below QV_ROOT.
inline constexpr char kTestAgentIni[] = "/usr/qvserver/etc/qvtestagent.ini";

bool loadTestAgentObjects();

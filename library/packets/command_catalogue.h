#ifndef QUILLON_COMMAND_CATALOGUE_H
#define QUILLON_COMMAND_CATALOGUE_H

// The controller's commands, one row each. Every packet leaf class, the
// receiver's code table and the packet factories are expanded from these
// tables, so a command is described in exactly one place.
//
// The packet type numbers are never sent on the line. They are contiguous by
// family and alphabetical within a family, except that DSL precedes DSH.
//
// The last column says who writes the response class: TABLE means it is
// expanded from the row; OWN means it adds properties or a decoder of its
// own and is written by hand in command_packets.h.

// Values read with "get XXX" and answered by a value response "XXX nnnnn".
// X(code, Get type, response type, response base, response class)
#define QUILLON_VALUE_COMMANDS(X)                                                                  \
    X(ALG, 0, 35, Packet_Resp_Reset_Code, TABLE)                                                   \
    X(ALO, 1, 36, Packet_Resp_Reset_Code, TABLE)                                                   \
    X(ALR, 2, 37, Packet_Resp_Reset_Code, TABLE)                                                   \
    X(BAH, 3, 38, Packet_Resp_Bool, TABLE)                                                         \
    X(BPD, 4, 39, Packet_Resp_Bool, OWN)                                                           \
    X(CES, 5, 40, Packet_Resp_UInt16, OWN)                                                         \
    X(CPT, 6, 41, Packet_Resp_UInt16, TABLE)                                                       \
    X(CSR, 7, 42, Packet_Resp_Bool, TABLE)                                                         \
    X(CSS, 8, 43, Packet_Resp_Bool, TABLE)                                                         \
    X(DSA, 9, 44, Packet_Resp_Suspension_Angle, TABLE)                                             \
    X(DSL, 10, 45, Packet_Resp_Bool, TABLE)                                                        \
    X(DSH, 11, 46, Packet_Resp_Bool, TABLE)                                                        \
    X(DSS, 12, 47, Packet_Resp_Bool, TABLE)                                                        \
    X(FM1, 13, 48, Packet_Resp_Faults, OWN)                                                        \
    X(FM2, 14, 49, Packet_Resp_Faults, OWN)                                                        \
    X(FM3, 15, 50, Packet_Resp_Faults, OWN)                                                        \
    X(IGT, 16, 51, Packet_Resp_UInt16, TABLE)                                                      \
    X(IGV, 17, 52, Packet_Resp_Voltage, TABLE)                                                     \
    X(LHC, 18, 53, Packet_Resp_Suspension_Angle, TABLE)                                            \
    X(LHD, 19, 54, Packet_Resp_Suspension_Angle, TABLE)                                            \
    X(LOL, 20, 55, Packet_Resp_Bool, TABLE)                                                        \
    X(MOD, 21, 56, Packet_Resp_UInt16, OWN)                                                        \
    X(OAT, 22, 57, Packet_Resp_UInt16, OWN)                                                        \
    X(OTC, 23, 58, Packet_Resp_UInt16, TABLE)                                                      \
    X(PRT, 24, 59, Packet_Resp_String, TABLE)                                                      \
    X(PSA, 25, 60, Packet_Resp_Suspension_Angle, TABLE)                                            \
    X(PXV, 26, 61, Packet_Resp_Pressure, TABLE)                                                    \
    X(REV, 27, 62, Packet_Resp_String, TABLE)                                                      \
    X(RHC, 28, 63, Packet_Resp_Suspension_Angle, TABLE)                                            \
    X(RHD, 29, 64, Packet_Resp_Suspension_Angle, TABLE)                                            \
    X(RVS, 30, 65, Packet_Resp_Bool, TABLE)                                                        \
    X(SN1, 31, 67, Packet_Resp_UInt16, TABLE)                                                      \
    X(SN2, 32, 68, Packet_Resp_UInt16, TABLE)                                                      \
    X(SN3, 33, 69, Packet_Resp_UInt16, TABLE)                                                      \
    X(SN4, 34, 70, Packet_Resp_UInt16, TABLE)

// Value responses that no request asks for; they reach only listeners of
// every received packet.
// X(code, response type, response base)
#define QUILLON_UNSOLICITED_RESPONSES(X) X(SEC, 66, Packet_Resp_UInt16)

// Actions sent with "go XXX"; any well-formed system response ends them.
// X(code, type)
#define QUILLON_GO_COMMANDS(X)                                                                     \
    X(CTS, 71)                                                                                     \
    X(LSP, 72)                                                                                     \
    X(MCN, 73)                                                                                     \
    X(MCP, 74)                                                                                     \
    X(MDN, 75)                                                                                     \
    X(MDP, 76)                                                                                     \
    X(RDH, 77)

// Settings written with "set XXX" or "set XXX NNN".
// X(code, type, family, response filter, request class)
#define QUILLON_SET_COMMANDS(X)                                                                    \
    X(ALG, 78, Packet_Set_UInt_Class, System_Response_Filter, TABLE)                               \
    X(ALO, 79, Packet_Set_UInt_Class, System_Response_Filter, TABLE)                               \
    X(ALR, 80, Packet_Set_UInt_Class, System_Response_Filter, TABLE)                               \
    X(BPD, 81, Packet_Set_Bool_Class, OK_Response_Filter, OWN)                                     \
    X(SLP, 82, Packet_Set_Short_Class, OK_Response_Filter, TABLE)                                  \
    X(SRH, 83, Packet_Set_Short_Class, OK_Response_Filter, TABLE)

#endif // QUILLON_COMMAND_CATALOGUE_H

#pragma once

#include "platform/messages.h"

// The message numbers of the command protocol: the thread messages of the reply
// thread, the command thread and the serial send thread, and the window messages
// that tell the main window what the transceiver reported.
namespace tqm {

// Thread messages to the reply-analysis thread (Anl_Recv_Thread).
inline constexpr MessageId UWM_ANL_REPLY = 0x8102;      // a reply waits on the receive queue
inline constexpr MessageId UWM_ANL_LINK_LOST = 0x810C;  // the reply watchdog found the line silent

// Thread message to the serial send thread: a command waits on the send queue. The
// serial layer receives it, but the command thread posts it, so it is defined with
// its sender: the serial layer lies above this one.
inline constexpr MessageId UWM_SIO_SEND = 0x8103;

// Requests to the command thread (Anl_Send_Thread).
inline constexpr MessageId UWM_CMD_READ_STEP = 0x8107;
inline constexpr MessageId UWM_CMD_READ_START = 0x834B;
inline constexpr MessageId UWM_CMD_TIMERS_STOP = 0x834C;
// The same number as UWM_REPLY_PE. The two never meet: this one is a thread message
// that only the command thread's queue carries, UWM_REPLY_PE a window message that
// only the main window receives.
inline constexpr MessageId UWM_CMD_STANDBY_START = 0x834F;
inline constexpr MessageId UWM_CMD_ID_CHECK = 0x8352;
inline constexpr MessageId UWM_CMD_LINK_TOGGLE = 0x8501;
inline constexpr MessageId UWM_CMD_POLL = 0x8569;
inline constexpr MessageId UWM_CMD_FLUSH = 0x856A;

// Window message to the main window: the transceiver's auto information came on. The
// AI reply parser sends it and waits until the window has handled it.
inline constexpr MessageId UWM_POWER_ON = 0x810A;

// Reply notifications to the main window: UWM_REPLY_ + command letters.
inline constexpr MessageId UWM_REPLY_RT = 0x8302;
inline constexpr MessageId UWM_REPLY_XT = 0x8303;
inline constexpr MessageId UWM_REPLY_SF = 0x8304;
inline constexpr MessageId UWM_REPLY_BP = 0x8305;
inline constexpr MessageId UWM_REPLY_BC = 0x8306;
inline constexpr MessageId UWM_REPLY_CO = 0x8307;
inline constexpr MessageId UWM_REPLY_NR = 0x8308;
inline constexpr MessageId UWM_REPLY_FT = 0x8309;
inline constexpr MessageId UWM_REPLY_FR = 0x830A;
inline constexpr MessageId UWM_REPLY_EX = 0x830B;
inline constexpr MessageId UWM_REPLY_LK = 0x830C;
inline constexpr MessageId UWM_REPLY_FS = 0x830D;
inline constexpr MessageId UWM_REPLY_VS = 0x830E;
inline constexpr MessageId UWM_REPLY_NA = 0x830F;
inline constexpr MessageId UWM_REPLY_NB = 0x8310;
inline constexpr MessageId UWM_REPLY_RF = 0x8311;
inline constexpr MessageId UWM_REPLY_GT = 0x8312;
inline constexpr MessageId UWM_REPLY_RA = 0x8313;
inline constexpr MessageId UWM_REPLY_PA = 0x8314;
inline constexpr MessageId UWM_REPLY_KR = 0x8315;
inline constexpr MessageId UWM_REPLY_TS = 0x8316;
inline constexpr MessageId UWM_REPLY_AN = 0x8317;
inline constexpr MessageId UWM_REPLY_AC = 0x8318;
inline constexpr MessageId UWM_REPLY_DS = 0x8319;
inline constexpr MessageId UWM_REPLY_MX = 0x831A;
inline constexpr MessageId UWM_REPLY_VX = 0x831B;
inline constexpr MessageId UWM_REPLY_BI = 0x831C;
inline constexpr MessageId UWM_REPLY_PR = 0x831D;
inline constexpr MessageId UWM_REPLY_ML = 0x831E;
inline constexpr MessageId UWM_REPLY_CS = 0x831F;
inline constexpr MessageId UWM_REPLY_DP = 0x8320;
inline constexpr MessageId UWM_REPLY_RM = 0x8321;
inline constexpr MessageId UWM_REPLY_KP = 0x8322;
inline constexpr MessageId UWM_REPLY_KS = 0x8323;
inline constexpr MessageId UWM_REPLY_SD = 0x8324;
inline constexpr MessageId UWM_REPLY_NL = 0x8325;
inline constexpr MessageId UWM_REPLY_MG = 0x8326;
inline constexpr MessageId UWM_REPLY_PL = 0x8327;
inline constexpr MessageId UWM_REPLY_VG = 0x8328;
inline constexpr MessageId UWM_REPLY_VD = 0x8329;
inline constexpr MessageId UWM_REPLY_SQ = 0x832A;
inline constexpr MessageId UWM_REPLY_AG = 0x832B;
inline constexpr MessageId UWM_REPLY_RG = 0x832C;
inline constexpr MessageId UWM_REPLY_IF = 0x832D;
inline constexpr MessageId UWM_REPLY_VF = 0x832E;
inline constexpr MessageId UWM_REPLY_IS = 0x832F;
inline constexpr MessageId UWM_REPLY_SH = 0x8330;
inline constexpr MessageId UWM_REPLY_RL = 0x8331;
inline constexpr MessageId UWM_REPLY_BY = 0x8332;
inline constexpr MessageId UWM_REPLY_FA = 0x8333;
inline constexpr MessageId UWM_REPLY_FB = 0x8334;
inline constexpr MessageId UWM_REPLY_RO = 0x8335;
inline constexpr MessageId UWM_REPLY_SC = 0x8336;
inline constexpr MessageId UWM_REPLY_SM = 0x8337;
inline constexpr MessageId UWM_REPLY_TX = 0x8338;
inline constexpr MessageId UWM_REPLY_UL = 0x8339;
inline constexpr MessageId UWM_REPLY_AI = 0x833A;
inline constexpr MessageId UWM_REPLY_CN = 0x833B;
inline constexpr MessageId UWM_REPLY_CT = 0x833C;
inline constexpr MessageId UWM_REPLY_KM = 0x833D;
inline constexpr MessageId UWM_REPLY_MC = 0x833E;
inline constexpr MessageId UWM_REPLY_OI = 0x833F;
inline constexpr MessageId UWM_REPLY_OS = 0x8340;
inline constexpr MessageId UWM_REPLY_PB = 0x8341;
inline constexpr MessageId UWM_REPLY_PC = 0x8342;
inline constexpr MessageId UWM_REPLY_RS = 0x8343;
inline constexpr MessageId UWM_REPLY_ID = 0x8344;
inline constexpr MessageId UWM_REPLY_MD = 0x8345;
inline constexpr MessageId UWM_REPLY_MS = 0x8346;
inline constexpr MessageId UWM_REPLY_PS = 0x8347;
inline constexpr MessageId UWM_REPLY_RI = 0x8348;
inline constexpr MessageId UWM_REPLY_CW = 0x8349;
inline constexpr MessageId UWM_REPLY_BG = 0x834D;
inline constexpr MessageId UWM_REPLY_LM = 0x834E;
inline constexpr MessageId UWM_REPLY_PE = 0x834F;

}  // namespace tqm

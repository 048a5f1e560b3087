#pragma once
// Every interface of libqorcom.so for C++ callers: the interface declarations, their IIDs, the
// classes' CLSIDs and the member tables (names, DISPIDs, parameter kinds) that late binding
// uses. These headers need only the comlite runtime; nothing of the library's implementation.
//
// A C++ caller creates an object with CoCreateInstance (or CLSIDFromProgID) and calls the
// interface directly; no method lets a C++ exception out. Strings are BSTRs: [in] ones stay the
// caller's, [out] and returned ones are the caller's to free.

#include "comlite/guid.h"
#include "qorcom/interfaces/channel.h"
#include "qorcom/interfaces/ftp.h"
#include "qorcom/interfaces/http.h"
#include "qorcom/interfaces/local.h"
#include "qorcom/interfaces/lock_file.h"
#include "qorcom/interfaces/log_message.h"
#include "qorcom/interfaces/ras.h"
#include "qorcom/interfaces/read_mail.h"
#include "qorcom/interfaces/send_mail.h"
#include "qorcom/interfaces/telnet.h"

// The type library every interface belongs to: QORComLib 1.0, locale 0x409.
inline constexpr GUID LIBID_QORComLib = comlite::MakeGuid("{9F4749B4-1893-472D-99BB-ACE8E8FFBD58}");

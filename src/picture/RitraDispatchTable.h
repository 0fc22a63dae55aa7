// The control's fixed dispatch identifiers: its own members are numbered
// from 1 (properties 1 to 52, methods 53 to 181); the standard members keep
// their standard identifiers. Hosts that cache identifiers rely on this order.
#pragma once

#include "picture/RitraGlobal.h"

#include <QString>

namespace ritra {

inline constexpr int kFirstMethodId = 53;
inline constexpr int kLastMemberId = 181;

// Member name for an identifier (own or standard), nullptr when none.
RITRA_EXPORT const char *memberName(int id);
// Identifier for a name, case-insensitive; 0 when none.
RITRA_EXPORT int memberId(const QString &name);
// Events numbered from 1; 0 when none.
RITRA_EXPORT int eventIdOf(const QString &name);
RITRA_EXPORT const char *eventName(int id);

} // namespace ritra

#pragma once

#include "commands/Session.h"

namespace testsupport {

// Changes the session's running configuration as a load would.
template <class Edit> void editConfig(norvvelm::Session &session, Edit edit) {
    norvvelm::PcConfig config = session.settings().config();
    edit(config);
    session.settings().setConfig(config);
}

} // namespace testsupport

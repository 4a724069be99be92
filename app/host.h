// The wayfind program plays the host of the component: it starts as every host
// does (api/host_start.h) and then uses the component only through its public
// classes.
#pragma once

#include "api/host_start.h"

namespace wayfind::app {

using api::HostOptions;
using api::HostSession;
using api::registerEverything;
using api::startHost;

}  // namespace wayfind::app

#include "poller/poll_config.h"

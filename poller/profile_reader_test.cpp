#include "poller/profile_reader.h"

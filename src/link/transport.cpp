#include "transport.h"

Transport::~Transport() = default;

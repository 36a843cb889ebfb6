// Built only by the layer test: a unit of one layer that includes a header of
// the layer above it. The build must refuse it.
#include VELDARA_REACH_UP_HEADER

// The fast loops of jis_convert_fast.h, eight bytes at a time in plain C++:
// the conversions on CPUs without SSE2 (and on targets other than x86).
#define JIS_FAST_SSE2 0
#include "jis_convert_fast.h"

namespace jis
{

const CConverters kWordConverters = kFastConverters;

} // namespace jis

#include "api/CreateQeltTiming.h"

#include <chrono>

CreateQeltTiming& CreateQeltTiming::instance()
{
    static CreateQeltTiming timing;
    return timing;
}

qint64 CreateQeltTiming::now()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Where there are no windows, a log sink's edit-control target has nowhere to go; lines
// still reach the sink's callback through WriteLog.
#include "log.h"

void WriteLogLineToEditControl(void*, const char*) {}

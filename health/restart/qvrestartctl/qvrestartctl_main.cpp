// qvrestartctl: console tool for the automatic server restart settings.
#include <cstdio>
#include <syslog.h>

#include "log_sink.h"
#include "restart_ctl.h"

int main(int argc, char** argv)
{
    qv::logOpen("qvrestartctl", LOG_USER);
    return runRestartCtl(argc, argv, stdin, stdout);
}

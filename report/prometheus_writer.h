// The Prometheus text exposition of every listed drive, for the node
// exporter's and the Windows exporter's textfile collectors: the metric
// names and labels of the common SMART exporter, and ours as vantrel_*.
#pragma once

#include <cstdio>
#include <string>

#include "report/drive_reading.h"

// The whole exposition, LF line ends.
std::string PrometheusReport(const MachineReport& report);

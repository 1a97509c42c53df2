#pragma once

// Telemetry recordings: the format, the writer and the reader.
#include "telemetryrecordingformat.h"
#include "telemetryrecordingreader.h"
#include "telemetryrecordingwriter.h"

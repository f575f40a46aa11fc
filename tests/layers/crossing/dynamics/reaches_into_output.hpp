#pragma once

#include "output/report_writer.hpp"

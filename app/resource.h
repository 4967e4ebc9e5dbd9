#pragma once

#define IDI_VELKARO 1

#pragma once
// The test window's template; its controls carry the work window's ids.
#define IDD_JOB_TEST 300

// The process panel with the simulated system's processes grouped by account.
#include "DemoShots.h"

CV_DEMO_SCENE("processes", 2500) { form.ShowProcessPanel(); }

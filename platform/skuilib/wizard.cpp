/* The wizard host object.  It hosts no pages of its own here; it counts its lifetimes so that
 * callers can see it was built and torn down. */
#include "skuilib.h"

namespace GUI {

static int32_t g_constructed = 0;
static int32_t g_destroyed = 0;

CSKUIWizard::CSKUIWizard() { ++g_constructed; }
CSKUIWizard::~CSKUIWizard() { ++g_destroyed; }
int32_t CSKUIWizard::GetConstructedCount() { return g_constructed; }
int32_t CSKUIWizard::GetDestroyedCount() { return g_destroyed; }

}  // namespace GUI

/* A saver library for the host tests: save_volume answers a result the test sets, and
 * save_buffer keeps the buffer it was given. Built without save_buffer (TS_NO_BUFFER) it is
 * incomplete and must not be bound. */
#include <stddef.h>

static int g_result, g_calls;
static void* g_buffer;

int save_volume(void) {
  ++g_calls;
  return g_result;
}

#ifndef TS_NO_BUFFER
void save_buffer(void* buffer) {
  g_buffer = buffer;
}
#endif

void ts_set_result(int result) {
  g_result = result;
}
int ts_calls(void) {
  return g_calls;
}
void* ts_buffer(void) {
  return g_buffer;
}

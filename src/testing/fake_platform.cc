#include "testing/fake_platform.h"

#include <algorithm>

#include "console/output.h"
#include "tool/mpr.h"

void write_stdout(std::string_view bytes) {
  fake.output.append(bytes);
  ++fake.writes;
}

std::uint32_t wnet_get_connection(const char* local_name, char* remote_name, std::uint32_t size) {
  fake.devices.emplace_back(local_name);
  if (fake.answer != nullptr) fake.status = fake.answer(local_name, fake.remote);
  fake.size_given = size;
  fake.buffer_clean =
      std::all_of(remote_name, remote_name + size + 1, [](char c) { return c == 0; });
  if (fake.status == 0) fake.remote.copy(remote_name, size);
  return fake.status;
}

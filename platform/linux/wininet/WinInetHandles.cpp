#include "WinInetHandles.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/linux/PlatformTestSupport.h"

namespace wininet {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::map<HINTERNET, std::shared_ptr<InternetObject>> objects;
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

}  // namespace

void RegisterHandle(const std::shared_ptr<InternetObject>& object) {
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  table.objects.emplace(object->handle, object);
}

std::shared_ptr<InternetObject> FindHandle(HINTERNET handle) {
  if (handle == nullptr) return nullptr;
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  auto found = table.objects.find(handle);
  return found == table.objects.end() ? nullptr : found->second;
}

std::vector<std::shared_ptr<InternetObject>> UnregisterTree(HINTERNET handle) {
  auto& table = Table();
  std::lock_guard lock(table.mutex);
  std::vector<std::shared_ptr<InternetObject>> tree;
  auto root = table.objects.find(handle);
  if (handle == nullptr || root == table.objects.end()) return tree;
  tree.push_back(root->second);
  // Breadth first from the root: every parent precedes its children.
  for (std::size_t next = 0; next < tree.size(); ++next) {
    for (const auto& [value, object] : table.objects) {
      if (object->parent == tree[next]->handle) tree.push_back(object);
    }
  }
  for (const auto& object : tree) table.objects.erase(object->handle);
  std::reverse(tree.begin(), tree.end());
  return tree;
}

}  // namespace wininet

std::size_t PlatformOpenInternetHandles() {
  auto& table = wininet::Table();
  std::lock_guard lock(table.mutex);
  return table.objects.size();
}

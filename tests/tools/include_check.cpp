// Reads every source file's `#include "folder/name.h"` lines and checks that
// the folders' layers point one way: the program sees only the platform
// interfaces, the stand-ins never see the program, the interfaces see nothing
// above them, and no folders include each other in a circle. Prints the
// folder graph it checked. It also checks that the hardware device's product
// sources name no render or texture-stage state: that device draws from the
// fixed-function state as d3dfront/ decodes it for both devices, and a state
// read of its own is a second set of rules to drift. Exit status 0 when it
// holds, 1 when it does not, 2 on a usage or reading error.
//
//   include_check SOURCE_DIR
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum class Layer { Interface, Shared, Program, StandIn, Top };

// Every top-level folder with sources, and its layer. A new folder must be
// placed here before it builds into the house.
const std::map<std::string, Layer>& Folders() {
  // clang-format off
  static const std::map<std::string, Layer> folders = {
      {"platform", Layer::Interface}, {"formats", Layer::Shared},
      {"scene", Layer::Shared},       {"math", Layer::Shared},
      {"app", Layer::Program},        {"graphics", Layer::Program},
      {"input", Layer::Program},      {"timing", Layer::Program},
      {"runtime", Layer::StandIn},    {"d3dx", Layer::StandIn},
      {"d3dfront", Layer::StandIn},   {"refdevice", Layer::StandIn},
      {"gldevice", Layer::StandIn},   {"sdlhost", Layer::StandIn},
      {"testplatform", Layer::StandIn}, {"winhost", Layer::StandIn},
      {"hostcommon", Layer::StandIn},
      {"main", Layer::Top},           {"tests", Layer::Top},
      {"bench", Layer::Top},          {"fuzz", Layer::Top},
  };
  // clang-format on
  return folders;
}

const char* LayerName(Layer layer) {
  switch (layer) {
    case Layer::Interface:
      return "platform interface";
    case Layer::Shared:
      return "shared module";
    case Layer::Program:
      return "program";
    case Layer::StandIn:
      return "stand-in";
    case Layer::Top:
      return "top";
  }
  return "?";
}

// Tests and their helpers sit beside what they test but form their own node:
// a program's test may use the recording platform the program itself never sees.
bool IsTestFile(const std::string& name) {
  static const std::regex test(R"((_test\.cpp|_test_util\.h|^test_support\.h|^test_helpers\.h)$)");
  return std::regex_search(name, test);
}

// May code of layer `from` (a test file when `fromTest`) include `to`?
bool Allowed(Layer from, bool fromTest, Layer to) {
  if (from == Layer::Top) return true;
  if (fromTest) {
    // Tests may use any stand-in or harness, but a stand-in's tests stay
    // blind to the program as the stand-in is.
    if (from == Layer::Program) return true;
    return to != Layer::Program;
  }
  switch (from) {
    case Layer::Interface:
      return to == Layer::Interface;
    case Layer::Shared:
      return to == Layer::Interface || to == Layer::Shared;
    case Layer::Program:
      return to == Layer::Interface || to == Layer::Program;
    case Layer::StandIn:
      return to != Layer::Program && to != Layer::Top;
    case Layer::Top:
      return true;
  }
  return false;
}

// The reference device's stages, from the bottom. A stage includes only
// itself and the stages below it; the device at the folder's top sees them
// all. -1: not a stage folder of the reference device.
int StageRank(const fs::path& rel) {
  static const std::vector<std::string> stages = {"resources", "draw", "pixel", "raster",
                                                  "front"};
  auto part = rel.begin();
  if (part == rel.end() || *part != "refdevice" || ++part == rel.end()) return -1;
  if (std::next(part) == rel.end()) return static_cast<int>(stages.size());  // the device
  const auto at = std::find(stages.begin(), stages.end(), part->string());
  return at == stages.end() ? -1 : static_cast<int>(at - stages.begin());
}

struct Edge {
  int count = 0;
  std::string example;  // one file that makes the edge
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: include_check SOURCE_DIR\n");
    return 2;
  }
  const fs::path root = argv[1];
  const std::regex include(R"re(^\s*#\s*include\s*"(([^"/]+)/[^"]+)")re");

  std::map<std::string, std::map<std::string, Edge>> graph;  // node -> node
  std::vector<std::string> problems;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const fs::path rel = fs::relative(it->path(), root);
    const std::string top = rel.begin()->string();
    if (it->is_directory() && (top == "build" || top == "out" || top[0] == '.')) {
      it.disable_recursion_pending();
      continue;
    }
    const std::string ext = rel.extension().string();
    if (!it->is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
    if (rel.begin() == std::prev(rel.end())) continue;  // a file at the top

    const auto folder = Folders().find(top);
    if (folder == Folders().end()) {
      problems.push_back(rel.string() + ": folder '" + top +
                         "' has no layer; add it to the include check");
      continue;
    }
    const bool test = IsTestFile(rel.filename().string());
    const std::string node = test ? top + " (tests)" : top;
    graph[node];

    std::ifstream in(it->path());
    std::string line;
    const bool decoded = top == "gldevice" && !test && std::distance(rel.begin(), rel.end()) == 2;
    static const std::regex stateName(R"(\bD3D(RS|TSS)_[A-Z0-9_]+)");
    for (int number = 1; std::getline(in, line); ++number) {
      std::smatch m;
      if (decoded && std::regex_search(line, m, stateName))
        problems.push_back(rel.string() + ":" + std::to_string(number) + ": names " + m.str() +
                           "; the hardware device reads the decoded state (d3dfront/)");
      if (!std::regex_search(line, m, include)) continue;
      const std::string target = m[2];
      if (target == top) {
        const int from = StageRank(rel), to = StageRank(fs::path(m[1].str()));
        if (!test && from >= 0 && to > from)
          problems.push_back(rel.string() + ":" + std::to_string(number) + ": includes " +
                             m[1].str() + ", a stage above its own");
        continue;
      }
      const auto to = Folders().find(target);
      if (to == Folders().end()) {
        problems.push_back(rel.string() + ": includes from unknown folder '" + target + "'");
        continue;
      }
      Edge& edge = graph[node][target];
      if (edge.count++ == 0) edge.example = rel.string();
      if (!Allowed(folder->second, test, to->second))
        problems.push_back(rel.string() + ": " + LayerName(folder->second) + " '" + top +
                           "' must not include " + LayerName(to->second) + " '" + target + "'");
    }
  }
  if (ec) {
    std::fprintf(stderr, "include_check: cannot read %s: %s\n", root.c_str(), ec.message().c_str());
    return 2;
  }

  std::printf("Folder graph (node -> included folders, with the number of includes):\n");
  for (const auto& [node, edges] : graph) {
    std::printf("  %s ->", node.c_str());
    if (edges.empty()) std::printf(" (nothing)");
    for (const auto& [target, edge] : edges) std::printf(" %s(%d)", target.c_str(), edge.count);
    std::printf("\n");
  }

  // Circles: a depth-first search over the folder nodes.
  std::map<std::string, int> state;  // 0 unseen, 1 on the path, 2 done
  std::vector<std::string> path;
  std::function<void(const std::string&)> visit = [&](const std::string& node) {
    state[node] = 1;
    path.push_back(node);
    for (const auto& [target, edge] : graph[node]) {
      if (state[target] == 1) {
        std::string circle;
        auto start = std::find(path.begin(), path.end(), target);
        for (auto p = start; p != path.end(); ++p) circle += *p + " -> ";
        problems.push_back("include circle: " + circle + target + " (e.g. " + edge.example + ")");
      } else if (state[target] == 0) {
        visit(target);
      }
    }
    path.pop_back();
    state[node] = 2;
  };
  std::vector<std::string> nodes;
  for (const auto& entry : graph) nodes.push_back(entry.first);
  for (const std::string& node : nodes)
    if (state[node] == 0) visit(node);

  if (problems.empty()) {
    std::printf("The folder graph is acyclic and every include points down its layers.\n");
    return 0;
  }
  for (const std::string& p : problems) std::printf("FAIL %s\n", p.c_str());
  return 1;
}

// JSON for scripts, written with nlohmann/json: UTF-8 on every platform,
// names passed through Utf8Name so any name gives valid JSON.
#ifndef TOOLS_COMMON_JSON_OUTPUT_H_
#define TOOLS_COMMON_JSON_OUTPUT_H_

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

namespace tools {

// `value` as compact JSON text (invalid UTF-8, which Utf8Name never
// makes, would be replaced rather than thrown on).
std::string JsonText(const nlohmann::ordered_json& value);

// Writes `value` and a newline on `out`.
void PrintJson(std::FILE* out, const nlohmann::ordered_json& value);

// One JSON object written as it goes, for listings too long to build in
// memory first: a member holding an array, one item per line, then the
// other members.
//
//   JsonListWriter w(stdout, "entries");   // {"entries":[
//   w.Add({{"name", "a"}});                // {"name":"a"}
//   w.Finish({{"count", 1}});              // ],"count":1}
class JsonListWriter {
 public:
  JsonListWriter(std::FILE* out, const std::string& list_name);
  void Add(const nlohmann::ordered_json& item);
  // Closes the array and writes the members of `rest` (an object), then
  // closes the object and the line.
  void Finish(const nlohmann::ordered_json& rest = nlohmann::ordered_json::object());

 private:
  std::FILE* out_;
  bool first_ = true;
};

}  // namespace tools

#endif  // TOOLS_COMMON_JSON_OUTPUT_H_

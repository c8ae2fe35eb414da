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
// memory first: plain members, and members holding an array whose items
// are written one at a time, one per line.
//
//   JsonObjectWriter w(stdout);            // {
//   w.BeginList("entries");                // "entries":[
//   w.Add({{"name", "a"}});                // {"name":"a"}
//   w.EndList();                           // ]
//   w.Member("count", 1);                  // ,"count":1
//   w.Finish();                            // }
class JsonObjectWriter {
 public:
  explicit JsonObjectWriter(std::FILE* out);
  void Member(const std::string& key, const nlohmann::ordered_json& value);
  void BeginList(const std::string& key);
  void Add(const nlohmann::ordered_json& item);
  void EndList();
  // Closes the object and the line.
  void Finish();

 private:
  void Key(const std::string& key);
  std::FILE* out_;
  bool first_member_ = true;
  bool first_item_ = true;
};

}  // namespace tools

#endif  // TOOLS_COMMON_JSON_OUTPUT_H_

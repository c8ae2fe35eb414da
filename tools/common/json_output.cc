#include "json_output.h"

namespace tools {

std::string JsonText(const nlohmann::ordered_json& value) {
  return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void PrintJson(std::FILE* out, const nlohmann::ordered_json& value) {
  std::fprintf(out, "%s\n", JsonText(value).c_str());
}

JsonListWriter::JsonListWriter(std::FILE* out, const std::string& list_name)
    : out_(out) {
  std::fprintf(out_, "{%s:[", JsonText(list_name).c_str());
}

void JsonListWriter::Add(const nlohmann::ordered_json& item) {
  std::fprintf(out_, "%s\n%s", first_ ? "" : ",", JsonText(item).c_str());
  first_ = false;
}

void JsonListWriter::Finish(const nlohmann::ordered_json& rest) {
  std::fputs(first_ ? "]" : "\n]", out_);
  for (const auto& member : rest.items())
    std::fprintf(out_, ",%s:%s", JsonText(member.key()).c_str(),
                 JsonText(member.value()).c_str());
  std::fputs("}\n", out_);
}

}  // namespace tools

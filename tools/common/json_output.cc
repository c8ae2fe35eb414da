#include "json_output.h"

namespace tools {

std::string JsonText(const nlohmann::ordered_json& value) {
  return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void PrintJson(std::FILE* out, const nlohmann::ordered_json& value) {
  std::fprintf(out, "%s\n", JsonText(value).c_str());
}

JsonObjectWriter::JsonObjectWriter(std::FILE* out) : out_(out) {
  std::fputc('{', out_);
}

void JsonObjectWriter::Key(const std::string& key) {
  std::fprintf(out_, "%s%s:", first_member_ ? "" : ",", JsonText(key).c_str());
  first_member_ = false;
}

void JsonObjectWriter::Member(const std::string& key,
                              const nlohmann::ordered_json& value) {
  Key(key);
  std::fputs(JsonText(value).c_str(), out_);
}

void JsonObjectWriter::BeginList(const std::string& key) {
  Key(key);
  std::fputc('[', out_);
  first_item_ = true;
}

void JsonObjectWriter::Add(const nlohmann::ordered_json& item) {
  std::fprintf(out_, "%s\n%s", first_item_ ? "" : ",", JsonText(item).c_str());
  first_item_ = false;
}

void JsonObjectWriter::EndList() { std::fputs(first_item_ ? "]" : "\n]", out_); }

void JsonObjectWriter::Finish() { std::fputs("}\n", out_); }

}  // namespace tools

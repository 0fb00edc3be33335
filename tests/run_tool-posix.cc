// Runs of the built tool through the POSIX shell, for the end-to-end
// tests on POSIX systems.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "scratch.h"

std::string shell_quote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

int run_tool(const std::string& tool, const std::vector<std::string>& args,
             const std::string& dir, std::string* output,
             const std::string& prefix) {
  std::string out_file = dir + ".tool-output";
  std::string command =
      "cd " + shell_quote(dir) + " && " + prefix + " " + shell_quote(tool);
  for (const std::string& arg : args) command += " " + shell_quote(arg);
  command += " </dev/null >" + shell_quote(out_file) + " 2>&1";
  int status = std::system(command.c_str());
  std::vector<uint8_t> text = file_bytes(out_file);
  std::remove(out_file.c_str());
  *output = std::string(text.begin(), text.end());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A ProjectPrompts that answers from scripts and logs every question, message and chooser, for
// driving the project operations without windows.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "halvex/project/project_prompts.h"

class ScriptedPrompts : public ProjectPrompts {
 public:
  /// Everything asked or shown, in order: "ask: <text>", "message: <text>",
  /// "file: <title>|<filter>|<relative 0/1>", "name: <title>|<prompt>",
  /// "choose: <text>|<b0>|<b1>|<b2>".
  std::vector<std::string> log;
  std::deque<bool> answers;       ///< For ask().
  std::deque<std::string> files;  ///< For chooseFile(); "" chooses nothing.
  std::deque<NameEntry> names;    ///< For askName(); an entry with empty fullPath cancels.
  std::deque<int> choices;        ///< For choose().

  bool ask(const std::string& question) override {
    log.push_back("ask: " + question);
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << question;
      return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void message(const std::string& text) override { log.push_back("message: " + text); }
  std::string chooseFile(const std::string& title, const std::string& filter,
                         bool relative) override {
    log.push_back("file: " + title + "|" + filter + "|" + (relative ? "1" : "0"));
    if (files.empty()) {
      ADD_FAILURE() << "unexpected file chooser: " << title;
      return std::string();
    }
    const std::string file = files.front();
    files.pop_front();
    return file;
  }
  bool askName(const std::string& title, const std::string& prompt, NameEntry& entry) override {
    log.push_back("name: " + title + "|" + prompt);
    if (names.empty()) {
      ADD_FAILURE() << "unexpected name dialog: " << title;
      return false;
    }
    entry = names.front();
    names.pop_front();
    return !entry.fullPath.empty();
  }
  int choose(const std::string& text, const std::string& button0, const std::string& button1,
             const std::string& button2) override {
    log.push_back("choose: " + text + "|" + button0 + "|" + button1 + "|" + button2);
    if (choices.empty()) {
      ADD_FAILURE() << "unexpected choice: " << text;
      return 0;
    }
    const int choice = choices.front();
    choices.pop_front();
    return choice;
  }

  /// A name dialog answer: `name` in `dir`.
  static NameEntry entry(const std::string& dir, const std::string& name) {
    return NameEntry{name, dir, dir + "/" + name};
  }
  /// Whether every scripted answer was used.
  bool allUsed() const {
    return answers.empty() && files.empty() && names.empty() && choices.empty();
  }
};

#include "inventory/OutputNames.h"

namespace pgl {

std::string_view OutcomeName(EntryOutcome outcome) {
  switch (outcome) {
    case EntryOutcome::Uninstalled:
      return "uninstalled";
    case EntryOutcome::StillInstalled:
      return "still_installed";
    case EntryOutcome::NoCommand:
      return "no_command";
    case EntryOutcome::NoQuietCommand:
      return "no_quiet_command";
    case EntryOutcome::NotRunnable:
      return "not_runnable";
    case EntryOutcome::StartFailed:
      return "start_failed";
    case EntryOutcome::StoppedWaiting:
      return "stopped_waiting";
    case EntryOutcome::RunnerFailed:
      return "runner_failed";
    case EntryOutcome::Removed:
      return "removed";
    case EntryOutcome::NotRemoved:
      return "not_removed";
  }
  return "still_installed";
}

const std::vector<EntryOutcome>& AllOutcomes() {
  static const std::vector<EntryOutcome> all = {
      EntryOutcome::Uninstalled,    EntryOutcome::StillInstalled, EntryOutcome::NoCommand,
      EntryOutcome::NoQuietCommand, EntryOutcome::NotRunnable,    EntryOutcome::StartFailed,
      EntryOutcome::StoppedWaiting, EntryOutcome::RunnerFailed,   EntryOutcome::Removed,
      EntryOutcome::NotRemoved};
  return all;
}

std::string_view PlaceName(UninstallView view) {
  switch (view) {
    case UninstallView::Machine:
      return "machine";
    case UninstallView::Machine32:
      return "machine32";
    case UninstallView::User:
      return "user";
  }
  return "machine";
}

const std::vector<std::string_view>& ProgramFields() {
  static const std::vector<std::string_view> fields = {"key",
                                                       "place",
                                                       "name",
                                                       "publisher",
                                                       "version",
                                                       "size_bytes",
                                                       "size_text",
                                                       "last_used",
                                                       "last_used_text",
                                                       "times_used",
                                                       "frequency_text",
                                                       "program_file",
                                                       "icon_file",
                                                       "uninstall_command",
                                                       "quiet_uninstall_command",
                                                       "modify_command",
                                                       "install_date",
                                                       "install_date_text",
                                                       "install_location",
                                                       "install_source",
                                                       "url_info",
                                                       "url_update",
                                                       "help_link",
                                                       "comments",
                                                       "contact",
                                                       "readme",
                                                       "system_component",
                                                       "valid"};
  return fields;
}

const std::vector<std::string_view>& PrefixFields() {
  static const std::vector<std::string_view> fields = {
      "name",   "source", "arch",        "programs",           "path",
      "folder", "owner",  "owner_state", "shadercache_folder", "cloud_saves"};
  return fields;
}

const std::vector<std::string_view>& PrefixOutcomeFields() {
  static const std::vector<std::string_view> fields = {"path",
                                                       "name",
                                                       "owner",
                                                       "outcome",
                                                       "size_bytes",
                                                       "saves_bytes",
                                                       "saves_archive",
                                                       "error_text",
                                                       "shadercache_folder",
                                                       "shadercache_bytes",
                                                       "shadercache_removed",
                                                       "shadercache_error"};
  return fields;
}

const std::vector<std::string_view>& PrefixSizeFields() {
  static const std::vector<std::string_view> fields = {"size_bytes", "saves_bytes", "save_folders",
                                                       "last_used", "shadercache_bytes"};
  return fields;
}

const std::vector<std::string_view>& OutcomeFields() {
  static const std::vector<std::string_view> fields = {
      "key", "name", "prefix", "outcome", "error_number", "error_text", "command"};
  return fields;
}

const std::vector<std::string_view>& LeftoverFields() {
  static const std::vector<std::string_view> fields = {"key",        "confidence", "kind",   "item",
                                                       "size_bytes", "reason",     "outcome"};
  return fields;
}

}  // namespace pgl

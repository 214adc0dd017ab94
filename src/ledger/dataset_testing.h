#pragma once
#include <filesystem>
#include <functional>
#include <memory>

#include "ledger/dataset.h"
#include "ledger/file.h"

namespace ledger {

// How a Dataset opens its table file. Only tests change it, to stand a file
// in between that fails on purpose.
using FileOpener = std::function<std::unique_ptr<File>(const std::filesystem::path&)>;

struct DatasetTestAccess {
  // Takes effect at the next open (or emptying).
  static void setFileOpener(Dataset& dataset, FileOpener opener);
};

}  // namespace ledger

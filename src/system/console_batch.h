// Console output batches: what the console calls made during a batch change
// reaches the terminal in one write when the outermost batch ends, with the
// cursor and its visibility sent only as they stand then. Batches nest.
#pragma once

namespace lumetra {

class ConsoleHost;

class ConsoleOutputBatch {
 public:
  ConsoleOutputBatch() noexcept;
  ~ConsoleOutputBatch();
  ConsoleOutputBatch(const ConsoleOutputBatch&) = delete;
  ConsoleOutputBatch& operator=(const ConsoleOutputBatch&) = delete;

 private:
  ConsoleHost* host_;
};

}  // namespace lumetra

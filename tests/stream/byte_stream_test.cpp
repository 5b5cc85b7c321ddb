// The byte stream on real files: the write modes, write failures, positions
// beyond 4 GiB, directories, identity, moving, record locks and the locks of
// files being written, and descriptors opened by their names.
#include "stream/byte_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "stream/crt_stream.h"
#include "stream_reading.h"
#include "support/temp_folder.h"

namespace lumetra {
namespace {

TEST(ByteStream, WriteModesCreateEmptyAndAppend) {
  TempFolder folder;
  const std::string path = folder.path("out");
  {
    CrtStream stream;
    ASSERT_EQ(stream.open(path.c_str(), "wb"), 0);
    EXPECT_EQ(stream.write("hello\r\n", 7), 7u);
    EXPECT_EQ(stream.tell(), 7);
    EXPECT_EQ(stream.close(), 0);
  }
  EXPECT_EQ(folder.read("out"), "hello\r\n");
  {
    CrtStream stream;
    ASSERT_EQ(stream.open(path.c_str(), "ab"), 0);
    EXPECT_EQ(stream.tell(), 7) << "an append stream starts at the end";
    EXPECT_EQ(stream.write("more", 4), 4u);
  }
  EXPECT_EQ(folder.read("out"), "hello\r\nmore");
  {
    CrtStream stream;
    ASSERT_EQ(stream.open(path.c_str(), "wb"), 0);
  }
  EXPECT_EQ(folder.read("out"), "");
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

TEST(ByteStream, ReadAndWriteModeSwitchesDirectionAtThePosition) {
  TempFolder folder;
  const std::string path = folder.write("both", "0123456789");
  CrtStream stream;
  ASSERT_EQ(stream.open(path.c_str(), "r+b"), 0);
  char head[4] = {};
  ASSERT_EQ(stream.read(head, 3), 3u);
  EXPECT_EQ(stream.write("ab", 2), 2u);
  EXPECT_EQ(stream.tell(), 5);
  ASSERT_EQ(stream.read(head, 2), 2u);
  EXPECT_EQ(std::string(head, 2), "56");
  ASSERT_EQ(stream.set_position(9), 0);
  EXPECT_EQ(stream.write("XY", 2), 2u);
  EXPECT_EQ(stream.close(), 0);
  EXPECT_EQ(folder.read("both"), "012ab5678XY");
}

TEST(ByteStream, LostOutputIsReportedByClose) {
  CrtStream small;
  ASSERT_EQ(small.open("/dev/full", "wb"), 0);
  EXPECT_EQ(small.write("abc", 3), 3u) << "buffered, not yet written";
  EXPECT_EQ(small.close(), ENOSPC);
  EXPECT_FALSE(small.is_open());

  CrtStream large;
  ASSERT_EQ(large.open("/dev/full", "wb"), 0);
  const std::string block(crt_stream_buffer_size * 2, 'x');
  EXPECT_LT(large.write(block.data(), block.size()), block.size());
  EXPECT_TRUE(large.has_error());
  EXPECT_EQ(large.last_error(), ENOSPC);
  EXPECT_EQ(large.close(), EIO) << "the final flush has nothing left, the earlier loss counts";
}

TEST(ByteStream, PositionsAndLengthsBeyondFourGigabytes) {
  TempFolder folder;
  const std::string path = folder.path("sparse");
  constexpr std::int64_t far = (std::int64_t{5} << 30) + 3;
  CrtStream stream;
  ASSERT_EQ(stream.open(path.c_str(), "w+b"), 0);
  ASSERT_EQ(stream.set_position(far), 0);
  ASSERT_EQ(stream.write("z", 1), 1u);
  ASSERT_EQ(stream.flush(), 0);
  std::int64_t length = 0;
  ASSERT_EQ(stream.length(length), 0);
  EXPECT_EQ(length, far + 1);
  ASSERT_EQ(stream.set_position(far), 0);
  std::int64_t position = 0;
  ASSERT_EQ(stream.get_position(position), 0);
  EXPECT_EQ(position, far);
  char byte = 0;
  ASSERT_EQ(stream.read(&byte, 1), 1u);
  EXPECT_EQ(byte, 'z');
  EXPECT_EQ(stream.set_position(-1), EINVAL);
}

TEST(ByteStream, SettingThePositionClearsTheEndOfFileIndicator) {
  TempFolder folder;
  const std::string path = folder.write("short", "abc");
  CrtStream stream;
  ASSERT_EQ(stream.open(path.c_str(), "rb"), 0);
  EXPECT_EQ(read_all_with_read(stream, 10), "abc");
  EXPECT_TRUE(stream.at_eof());
  ASSERT_EQ(stream.set_position(1), 0);
  EXPECT_FALSE(stream.at_eof());
  EXPECT_EQ(read_all_with_read(stream, 10), "bc");
}

// A large buffer places what it reads by the file's pages; going back to
// bytes read before the buffer last started over still gives the file's
// bytes, whichever way the stream gets there.
TEST(ByteStream, GoingBackFromALargeBufferGivesTheFilesBytes) {
  constexpr std::size_t buffer = std::size_t{64} << 10;
  std::string bytes;
  for (std::size_t n = 0; bytes.size() < 3 * buffer; ++n) bytes += std::to_string(n * 7919 % 100003) + ";";
  TempFolder folder;
  const std::string path = folder.write("bytes", bytes);
  for (const std::size_t back : {1, 16, 100, 2049, 4095, 4096, 5000}) {
    SCOPED_TRACE(back);
    CrtStream stream;
    ASSERT_EQ(stream.open(path.c_str(), "rb"), 0);
    ASSERT_EQ(stream.set_buffer_size(buffer), 0);
    std::string step(100, '\0');
    for (std::size_t done = 0; done < buffer + 10; done += step.size()) ASSERT_EQ(stream.read(step.data(), 100), 100u);
    const std::size_t start = buffer - back;
    ASSERT_EQ(stream.set_position(static_cast<std::int64_t>(start)), 0);
    ASSERT_EQ(stream.read(step.data(), 100), 100u);
    EXPECT_EQ(step, bytes.substr(start, 100));
  }
}

TEST(ByteStream, OpenFailuresDirectoriesMissingFilesAndUnknownModes) {
  TempFolder folder;
  const std::string directory = folder.root().string();
  for (const char* mode : {"rb", "rt", "wb", "ab", "r+b", "w+b"}) {
    SCOPED_TRACE(mode);
    CrtStream stream;
    EXPECT_EQ(stream.open(directory.c_str(), mode), EISDIR);
    EXPECT_FALSE(stream.is_open());
  }
  CrtStream stream;
  EXPECT_EQ(stream.open(folder.path("missing").c_str(), "rb"), ENOENT);
  EXPECT_EQ(stream.open(folder.path("x").c_str(), "w"), EINVAL);
  EXPECT_EQ(stream.last_error(), EINVAL);
}

TEST(ByteStream, ReopenSwitchesFromBytesToText) {
  TempFolder folder;
  const std::string path = folder.write("re", "a\r\nb");
  CrtStream stream;
  ASSERT_EQ(stream.open(path.c_str(), "rb"), 0);
  std::int64_t length = 0;
  ASSERT_EQ(stream.length(length), 0);
  ASSERT_EQ(stream.set_position(length), 0);
  ASSERT_EQ(stream.reopen(path.c_str(), "rt"), 0);
  EXPECT_EQ(stream.tell(), 0);
  EXPECT_EQ(read_all_with_read(stream, 10), "a\nb");
  EXPECT_NE(stream.reopen(folder.path("gone").c_str(), "rt"), 0);
  EXPECT_FALSE(stream.is_open());
}

TEST(ByteStream, IdentityIsTheFileNotTheName) {
  TempFolder folder;
  const std::string path = folder.write("same", "x");
  const std::string other = folder.write("other", "x");
  CrtStream stream;
  ASSERT_EQ(stream.open(path.c_str(), "rb"), 0);
  FileIdentity by_alias;
  ASSERT_EQ(path_identity((folder.root() / "." / "same").c_str(), by_alias), 0);
  EXPECT_EQ(stream.identity(), by_alias);
  FileIdentity by_other;
  ASSERT_EQ(path_identity(other.c_str(), by_other), 0);
  EXPECT_NE(stream.identity(), by_other);
  EXPECT_EQ(path_identity(folder.path("missing").c_str(), by_other), ENOENT);
}

TEST(ByteStream, MovingHandsTheOpenFileOver) {
  TempFolder folder;
  const std::string path = folder.path("moved");
  CrtStream first;
  ASSERT_EQ(first.open(path.c_str(), "wb"), 0);
  ASSERT_EQ(first.write("kept", 4), 4u);
  CrtStream second(std::move(first));
  EXPECT_FALSE(first.is_open());
  CrtStream third;
  third = std::move(second);
  EXPECT_FALSE(second.is_open());
  EXPECT_EQ(third.close(), 0);
  EXPECT_EQ(folder.read("moved"), "kept");
}

// What `step` returns (0 to 255) when it runs in a child process: locks only
// keep other processes out. -1 when the child does not end normally.
template <typename Step>
int in_child_process(Step step) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(step());
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int child_lock_result(const std::string& path, std::int64_t offset, std::int64_t length) {
  return in_child_process([&] {
    CrtStream stream;
    const int opened = stream.open(path.c_str(), "r+b");
    return opened != 0 ? 100 : stream.lock(offset, length) == 0 ? 0 : 1;
  });
}

// What opening the path with the mode gives in a child process, and the bytes
// the file holds afterwards.
std::pair<int, std::string> child_open(const TempFolder& folder, const char* name, const char* mode) {
  const int opened = in_child_process([&] { return CrtStream().open(folder.path(name).c_str(), mode); });
  return {opened, folder.read(name)};
}

TEST(ByteStream, RecordLocksKeepOtherProcessesOut) {
  TempFolder folder;
  const std::string path = folder.write("locked", "0123456789");
  CrtStream stream;
  ASSERT_EQ(stream.open(path.c_str(), "r+b"), 0);
  ASSERT_EQ(stream.lock(2, 4), 0);
  EXPECT_EQ(child_lock_result(path, 3, 1), 1);
  EXPECT_EQ(child_lock_result(path, 6, 2), 0);
  ASSERT_EQ(stream.unlock(2, 4), 0);
  EXPECT_EQ(child_lock_result(path, 3, 1), 0);
}

// Two runs writing the same file would leave it a mix of both: a file being
// emptied or appended to is refused to every other stream that would empty
// it or append to it.
TEST(ByteStream, AFileBeingWrittenIsRefusedToAnotherWriter) {
  TempFolder folder;
  for (const char* first : {"wb", "ab"}) {
    CrtStream writer;
    ASSERT_EQ(writer.open(folder.path("target").c_str(), first), 0);
    ASSERT_EQ(writer.write("kept", 4), 4u);
    ASSERT_EQ(writer.flush(), 0);
    for (const char* mode : {"wb", "w+b", "ab"}) {
      EXPECT_EQ(child_open(folder, "target", mode), std::make_pair(EBUSY, std::string("kept"))) << first << mode;
      CrtStream same_process;
      EXPECT_EQ(same_process.open(folder.path("target").c_str(), mode), EBUSY) << first << mode;
    }
    EXPECT_EQ(child_open(folder, "target", "rb").first, 0) << "reading is no danger";
    ASSERT_EQ(writer.close(), 0);
    EXPECT_EQ(child_open(folder, "target", "wb"), std::make_pair(0, std::string()));
  }
}

// The open file behind a descriptor, as a shell hands it over: read and
// written where it stands, so that what others read or write before and
// after stays in order; refused for an access it was not opened for.
TEST(ByteStream, DescriptorNamesOpenTheirOpenFileWhereItStands) {
  TempFolder folder;
  const int fd = ::open(folder.write("shared", "skip;0123456789").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  const std::string name = "/dev/fd/" + std::to_string(fd);
  ASSERT_EQ(::lseek(fd, 5, SEEK_SET), 5);
  CrtStream stream;
  ASSERT_EQ(stream.open(name.c_str(), "rt"), 0);
  EXPECT_EQ(stream.tell(), 5);
  EXPECT_EQ(read_all_with_read(stream, 4), "0123456789");
  EXPECT_TRUE(stream.at_eof() && !stream.has_error()) << "the end, not a file cut short";
  ASSERT_EQ(stream.close(), 0);
  EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 15);

  ASSERT_EQ(stream.open(name.c_str(), "ab"), 0);
  EXPECT_EQ(stream.write(";more", 5), 5u);
  ASSERT_EQ(stream.close(), 0);
  EXPECT_EQ(::write(fd, ";after", 6), 6);
  EXPECT_EQ(folder.read("shared"), "skip;0123456789;more;after");
  ::close(fd);

  const int read_only = ::open(folder.path("shared").c_str(), O_RDONLY);
  EXPECT_EQ(stream.open(("/dev/fd/" + std::to_string(read_only)).c_str(), "ab"), EBADF);
  ::close(read_only);
  EXPECT_EQ(stream.open("/dev/fd/999", "rb"), EBADF) << "a closed descriptor";
}

}  // namespace
}  // namespace lumetra

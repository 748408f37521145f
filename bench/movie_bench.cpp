// Converting a phone video for the handset: a 20-second 1280 x 720 clip at
// 60 frames a second (H.264 and AAC, made through libavcodec) through the
// conversion the window runs on "はい" (the helper program included), against
// the `ffmpeg` command line making the same file: the same frames chosen
// (fps=15:round=up, the conversion's choice: each output frame shows the last
// source frame at or before its time) and only those scaled, 176 x 144 with
// bars, MPEG-4 Simple Profile level 0 (0x08) at the rate the conversion
// chose within level 0's rate buffer, AMR-NB 12.2k mono, index first; in one
// pass (as the conversion) and in two. Each run is a process of its own: time
// and peak memory from wait4 (the largest process waited for). Quality: PSNR
// of the picture against the source pattern at each output frame's time.
// Then the preview: the picture a tenth of the way in (from the helper kept
// running), against decoding the first frame alone; what starting the helper
// costs a movie task (a probe); and the command line's start now that it
// loads no FFmpeg: `fenmora-cli list` on a full card against `ls -lR`.
//
//   cmake --build build --target movie_bench && build/movie_bench [runs]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "full_card.h"
#include "movie/movie.h"
#include "movie/test_movies.h"

namespace fs = std::filesystem;
using namespace fenmora::movie;

namespace {

struct Run {
  double ms = 0;
  long peakKb = 0;
  bool ok = false;
};

// Runs `child` in a process of its own.
Run InProcess(const std::function<int()>& child) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) _exit(child());
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Run run;
  run.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  run.peakKb = usage.ru_maxrss;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

// Runs a program, its standard output thrown away.
Run Program(const std::vector<std::string>& args) {
  return InProcess([&] {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    return 127;
  });
}

Run Median(int runs, const std::function<Run()>& once) {
  std::vector<Run> all;
  for (int i = 0; i < runs; ++i) all.push_back(once());
  std::sort(all.begin(), all.end(), [](const Run& a, const Run& b) { return a.ms < b.ms; });
  Run m = all[all.size() / 2];
  for (const Run& r : all) m.ok = m.ok && r.ok, m.peakKb = std::max(m.peakKb, r.peakKb);
  return m;
}

double MedianMs(int runs, const std::function<void()>& f) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    f();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

// Mean PSNR of the picture rows of a 176 x 144 file against the pattern.
double PictureQuality(const fs::path& file) {
  int w = 0, h = 0;
  const auto frames = test::DecodedLuma(file, w, h);
  if (frames.empty() || w != 176 || h != 144) return 0;
  double sum = 0;
  for (std::size_t k = 0; k < frames.size(); ++k)
    sum += test::Psnr(frames[k].data() + 22 * w, w, test::PatternLuma(176, 98, static_cast<double>(k) / 15), 176, 98);
  return sum / static_cast<double>(frames.size());
}

void Row(const char* figure, double ours, double base, const char* baseName, double target) {
  const double ratio = ours / base;
  std::printf("%-34s %9.0f ms %9.0f ms (%s) %6.2fx   target <= %.1fx  %s\n", figure, ours, base, baseName,
              ratio, target, ratio <= target ? "met" : "NOT MET");
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const fs::path dir = fs::temp_directory_path() / ("fenmora-movie-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path source = dir / "phone.mp4";
  if (!test::MakeMovie(source, {.width = 1280, .height = 720, .fps = 60, .seconds = 20})) {
    std::fprintf(stderr, "cannot make the source video\n");
    return 1;
  }
  const MovieFacts facts = ProbeMovie(source);
  std::printf("movie: %d x %d, %.0f fps, %.1f s, %lld bytes -> 176 x 144, 15 fps, <= 307200 bytes; %d runs each\n",
              facts.width, facts.height, facts.fps, facts.seconds, static_cast<long long>(facts.bytes), runs);

  const fs::path ours = dir / "ours.3gp";
  const fs::path rateFile = dir / "rate";
  const Run converted = Median(runs, [&] {
    return InProcess([&] {
      const Converted c = ConvertMovie(source, ours, facts.seconds, nullptr);
      std::ofstream(rateFile) << c.videoRate;
      return c.status == Converted::Status::Done ? 0 : 1;
    });
  });
  int rate = 0;
  std::ifstream(rateFile) >> rate;
  if (!converted.ok || rate <= 0) {
    std::fprintf(stderr, "the conversion failed\n");
    return 1;
  }

  // The same settings on the command line.
  const std::vector<std::string> input = {"ffmpeg", "-y", "-v", "error", "-i", source.string(), "-vf",
                                          "fps=15:round=up,scale=176:98:flags=bicubic,pad=176:144:0:22:black"};
  const std::vector<std::string> video = {"-c:v", "mpeg4", "-profile:v", "0", "-level", "8", "-b:v",
                                          std::to_string(rate), "-maxrate", "64000", "-bufsize", "163840",
                                          "-g", "30", "-bf", "0"};
  const std::vector<std::string> audio = {"-c:a", "libopencore_amrnb", "-ar", "8000", "-ac", "1", "-b:a", "12.2k"};
  auto command = [&](std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  const fs::path onePass = dir / "ffmpeg-1.3gp", twoPass = dir / "ffmpeg-2.3gp";
  const std::string log = (dir / "passlog").string();
  const Run ffmpeg1 = Median(runs, [&] {
    return Program(command({input, video, audio, {"-movflags", "+faststart", "-f", "3gp", onePass.string()}}));
  });
  const Run ffmpeg2 = Median(runs, [&] {
    Run first = Program(command({input, video, {"-an", "-pass", "1", "-passlogfile", log, "-f", "3gp", "/dev/null"}}));
    Run second = Program(command({input, video, audio, {"-pass", "2", "-passlogfile", log, "-movflags", "+faststart",
                                                        "-f", "3gp", twoPass.string()}}));
    return Run{first.ms + second.ms, std::max(first.peakKb, second.peakKb), first.ok && second.ok};
  });
  if (!ffmpeg1.ok || !ffmpeg2.ok) {
    std::printf("ffmpeg: not measured: the ffmpeg command failed or is missing (scripts/install-deps bench installs it)\n");
  } else {
    Row("conversion against ffmpeg, 1 pass", converted.ms, ffmpeg1.ms, "1 pass", 1.2);
    Row("conversion against ffmpeg, 2 passes", converted.ms, ffmpeg2.ms, "2 passes", 1.2);
    std::printf("%-34s %9.1f MB %9.1f MB (ffmpeg, 2 passes)\n", "peak memory", converted.peakKb / 1024.0,
                ffmpeg2.peakKb / 1024.0);
    const double q = PictureQuality(ours), q2 = PictureQuality(twoPass), q1 = PictureQuality(onePass);
    const auto size = [](const fs::path& f) { return static_cast<long long>(fs::file_size(f)); };
    std::printf("%-34s %9.2f dB in %lld bytes; ffmpeg 2 passes %.2f dB in %lld bytes, 1 pass %.2f dB in %lld bytes"
                "   target >= %.2f dB (2 passes - 1 dB)  %s   (video %d bit/s measured)\n",
                "picture quality (PSNR)", q, size(ours), q2, size(twoPass), q1, size(onePass), q2 - 1,
                q >= q2 - 1 ? "met" : "NOT MET", rate);
  }

  PreviewPicture picture;
  const double preview = MedianMs(5, [&] { picture = PreviewFrame(source, 145, 145); });
  // Opening the file and decoding its first frame: what any player does
  // before it shows anything.
  const double first = MedianMs(5, [&] {
    int w = 0, h = 0;
    test::DecodedLuma(source, w, h, 1);
  });
  Row("preview picture (10% in)", preview, first, "first frame", 3.0);
  // A movie task's own start: the helper started, FFmpeg's libraries loaded,
  // the file's headers read.
  const Run probe = Median(15, [&] { return Program({HelperProgram().string(), "probe", source.string()}); });
  std::printf("%-34s %9.1f ms (the helper started for a task, FFmpeg loaded, the headers read)\n", "a probe",
              probe.ms);

#ifdef FENMORA_CLI
  const fs::path card = dir / "card";
  fenmora::bench::MakeFullCard(card);
  const Run list = Median(15, [&] { return Program({FENMORA_CLI, "list", card.string()}); });
  const Run ls = Median(15, [&] { return Program({"ls", "-lR", card.string()}); });
  Row("fenmora-cli list, full card", list.ms, ls.ms, "ls -lR", 1.5);
#endif
  fs::remove_all(dir);
  return picture.valid() ? 0 : 1;
}

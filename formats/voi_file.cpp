#include "formats/voi_file.h"

#include <optional>

#include "formats/text_input.h"

namespace simtrove::formats {
namespace {

enum class Expect { Magic, Space, Content };

class VoiTextReader {
  public:
    explicit VoiTextReader(const std::string& fileName) : file_(fileName) {}

    Result<VoiSet> read(std::string_view text) {
        std::vector<std::string_view> lines = splitLines(text);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].find('\0') != std::string_view::npos)
                return fail(i + 1, "contains a NUL byte");
            if (isBlankOrComment(lines[i])) continue;
            if (std::string problem = readLine(trim(lines[i]), i + 1); !problem.empty())
                return fail(problemLine_ != 0 ? problemLine_ : i + 1, problem);
        }
        if (expect_ == Expect::Magic)
            return Result<VoiSet>::failure(file_ + ": empty file; expected \"simtrove-vois 1\"");
        if (expect_ == Expect::Space)
            return Result<VoiSet>::failure(file_ + ": expected \"coordinate-space CODE\"");
        if (set_.vois.empty()) return Result<VoiSet>::failure(file_ + ": the file defines no VOI");
        if (std::string problem = lastVoiProblem(); !problem.empty())
            return fail(lastVoiLine_, problem);
        return std::move(set_);
    }

  private:
    Result<VoiSet> fail(std::size_t line, const std::string& what) const {
        return Result<VoiSet>::failure(located(file_, line, what));
    }

    // A VOI without voxels would place no signal and tell nobody.
    std::string lastVoiProblem() const {
        if (set_.vois.empty() || !set_.vois.back().coordinates.empty()) return {};
        return "VOI " + quotedToken(set_.vois.back().name) + " has no voxel lines";
    }

    std::string readLine(std::string_view line, std::size_t number) {
        std::vector<std::string_view> tokens = splitWhitespace(line);
        switch (expect_) {
            case Expect::Magic:
                if (tokens.size() == 2 && tokens[0] == "simtrove-vois") {
                    if (tokens[1] != "1")
                        return "unsupported VOI format version " + quotedToken(tokens[1]) +
                               " (this program reads version 1)";
                    expect_ = Expect::Space;
                    return {};
                }
                return "expected \"simtrove-vois 1\" on the first line";
            case Expect::Space: {
                std::optional<int> code = tokens.size() == 2 && tokens[0] == "coordinate-space"
                                              ? parseInt(tokens[1])
                                              : std::nullopt;
                if (!code) return "expected \"coordinate-space CODE\" with a whole number CODE";
                set_.coordinateSpace = *code;
                expect_ = Expect::Content;
                return {};
            }
            case Expect::Content:
                break;
        }
        if (tokens[0] == "voi") {
            if (std::string problem = lastVoiProblem(); !problem.empty()) {
                problemLine_ = lastVoiLine_;
                return problem;
            }
            lastVoiLine_ = number;
            return startVoi(trim(line.substr(3)));
        }
        if (tokens.size() != 3)
            return "expected \"voi NAME\" or a voxel \"X Y Z\", got " + quotedToken(line);
        if (set_.vois.empty()) return "voxel before the first VOI";
        int xyz[3];
        for (int axis = 0; axis < 3; ++axis) {
            std::optional<int> value = parseInt(tokens[std::size_t(axis)]);
            if (!value) return quotedToken(tokens[std::size_t(axis)]) + " is not a whole number";
            if (*value < -kMaxVoiCoordinate || *value > kMaxVoiCoordinate)
                return "coordinate " + std::to_string(*value) + " is outside -" +
                       std::to_string(kMaxVoiCoordinate) + " to " +
                       std::to_string(kMaxVoiCoordinate);
            xyz[axis] = *value;
        }
        set_.vois.back().coordinates.insert(set_.vois.back().coordinates.end(), xyz, xyz + 3);
        return {};
    }

    std::string startVoi(std::string_view name) {
        if (name.empty()) return "VOI without a name";
        if (name.size() > kMaxVoiNameLength)
            return "VOI name is longer than " + std::to_string(kMaxVoiNameLength) + " characters";
        set_.vois.push_back({std::string(name), {}});
        return {};
    }

    std::string file_;
    Expect expect_ = Expect::Magic;
    std::size_t lastVoiLine_ = 0;
    std::size_t problemLine_ = 0;
    VoiSet set_;
};

}  // namespace

Result<VoiSet> parseVoiText(std::string_view text, const std::string& fileName) {
    return VoiTextReader(fileName).read(text);
}

}  // namespace simtrove::formats

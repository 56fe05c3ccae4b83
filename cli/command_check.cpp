// check IMAGE: the image check, offline.
#include "commands.h"
#include "image_report.h"

int RunCheck(const RunContext& context) {
    const Output& out = context.out;
    const std::string& path = context.options.imagePath;
    const ImageSummary summary = ReadImageSummary(path.c_str());
    out.Say("Image:           " + path);
    for (const std::string& line : ImageSummaryLines(summary)) out.Say(line);

    JsonLine extra;
    extra.Add("image", path);
    AddImageFields(extra, summary);
    switch (summary.verdict) {
    case ImageVerdict::Good:
        return out.Finish("check", ExitCode::Success, "Image is good.", "", extra);
    default:
        return out.Finish("check", ExitCode::BadImage, ImageHeadline(summary), ImageProblem(summary, path), extra);
    }
}

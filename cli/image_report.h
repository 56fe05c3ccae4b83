// The image summary in words and as JSON fields, shared by check and flash --dry-run.
#pragma once
#include <string>
#include <vector>

#include "image_summary.h"
#include "json_line.h"

// The lines a person reads: size, check byte, header, blocks.
std::vector<std::string> ImageSummaryLines(const ImageSummary& summary);
// Why the image cannot be sent, in one line; empty for a good image.
std::string ImageProblem(const ImageSummary& summary, const std::string& path);
// The headline for an image that cannot be sent.
std::string ImageHeadline(const ImageSummary& summary);
void AddImageFields(JsonLine& line, const ImageSummary& summary);

#include "imagedecoder.h"

#include "filecheck.h"

// stb_image keeps its failure reason per thread and no other state while decoding, so
// every worker decodes on its own. The implementation lives here, static to this file.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"  // inside stb's PNG reader, seen after inlining
#endif
#include <stb_image.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include <algorithm>

namespace volleyrun {

ImageDecoder::Image::~Image()
{
    if (pixels) stbi_image_free(pixels);
}

ImageDecoder::ImageDecoder(std::vector<std::string> files, size_t ahead, size_t workers)
    : files_(std::move(files)), ahead_(std::max<size_t>(ahead, 1)), done_(files_.size())
{
    if (workers == 0) workers = std::max(1u, std::thread::hardware_concurrency());
    workers = std::min({workers, files_.size(), ahead_});
    for (size_t i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
}

ImageDecoder::~ImageDecoder()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void ImageDecoder::Work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || MayClaim() || claimed_ >= files_.size(); });
        if (stopping_ || claimed_ >= files_.size()) return;
        size_t index = claimed_++;
        lock.unlock();
        auto image = std::make_unique<Image>();
        image->error = FileCheck::NotRegular(files_[index]);  // a FIFO would hang this worker
        if (image->error.empty())
            image->pixels = stbi_load(files_[index].c_str(), &image->width, &image->height, &image->channels, STBI_rgb_alpha);
        if (!image->pixels && image->error.empty()) image->error = stbi_failure_reason();
        lock.lock();
        done_[index] = std::move(image);
        changed_.notify_all();
    }
}

std::unique_ptr<ImageDecoder::Image> ImageDecoder::Next()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (taken_ >= files_.size()) return nullptr;
    changed_.wait(lock, [this] { return done_[taken_] != nullptr; });
    std::unique_ptr<Image> image = std::move(done_[taken_++]);
    lock.unlock();
    changed_.notify_all();
    return image;
}

bool ImageDecoder::ReadHeader(const std::string& file, int& width, int& height, int& channels, std::string& error)
{
    error = FileCheck::NotRegular(file);
    if (!error.empty()) return false;
    if (stbi_info(file.c_str(), &width, &height, &channels)) return true;
    error = stbi_failure_reason();
    return false;
}

} // namespace volleyrun

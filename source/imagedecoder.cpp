#include "imagedecoder.h"

#include <SOIL.h>

ImageDecoder::Image::~Image()
{
    if (pixels) SOIL_free_image_data(pixels);
}

ImageDecoder::ImageDecoder(std::vector<std::string> files, size_t ahead)
    : files_(std::move(files)), ahead_(ahead > 0 ? ahead : 1), worker_([this] { Work(); })
{
}

ImageDecoder::~ImageDecoder()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void ImageDecoder::Work()
{
    for (const std::string& file : files_) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || ready_.size() < ahead_; });
            if (stopping_) return;
        }
        auto image = std::make_unique<Image>();
        image->pixels = SOIL_load_image(file.c_str(), &image->width, &image->height, &image->channels, SOIL_LOAD_RGBA);
        if (!image->pixels) image->error = SOIL_last_result();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ready_.push_back(std::move(image));
        }
        changed_.notify_all();
    }
}

std::unique_ptr<ImageDecoder::Image> ImageDecoder::Next()
{
    if (taken_ >= files_.size()) return nullptr;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty(); });
    std::unique_ptr<Image> image = std::move(ready_.front());
    ready_.pop_front();
    ++taken_;
    lock.unlock();
    changed_.notify_all();
    return image;
}

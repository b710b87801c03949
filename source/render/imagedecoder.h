// ImageDecoder: decodes a list of image files to RGBA pixels on worker threads (one per
// core), a few files ahead of the caller, so that the texture store uploads images on the
// game thread while the next ones are being decoded. Created by the texture store at
// graphics start-up and gone when the table is filled. Next() hands the images over in
// list order and is called from the game thread only; ReadHeader is safe on any thread.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace volleyrun {

class ImageDecoder {
public:
    struct Image {
        Image() = default;
        Image(const Image&) = delete;
        Image& operator=(const Image&) = delete;
        ~Image();

        unsigned char* pixels = nullptr;  // width x height RGBA, top row first; null on failure
        int width = 0;
        int height = 0;
        int channels = 0;  // channels of the file itself
        std::string error; // the decoder's reason when pixels is null
    };

    // Starts decoding files in order on `workers` threads (0: one per core, never more
    // than there are files), at most `ahead` files past the last one taken.
    explicit ImageDecoder(std::vector<std::string> files, size_t ahead = 4, size_t workers = 0);
    ImageDecoder(const ImageDecoder&) = delete;
    ImageDecoder& operator=(const ImageDecoder&) = delete;
    ~ImageDecoder();  // stops the workers (an unfinished list is abandoned) and joins them

    // The next file's image, in list order; waits while it is being decoded. Null once
    // every file was taken.
    std::unique_ptr<Image> Next();

    size_t WorkerCount() const { return workers_.size(); }

    // Size and channel count from the file's header, without decoding; false with the
    // reason in error when the file is not a readable image.
    static bool ReadHeader(const std::string& file, int& width, int& height, int& channels, std::string& error);

private:
    void Work();
    bool MayClaim() const { return claimed_ < files_.size() && claimed_ < taken_ + ahead_; }

    const std::vector<std::string> files_;
    const size_t ahead_;  // at least 1
    std::mutex mutex_;
    std::condition_variable changed_;
    // Everything below up to workers_ is guarded by mutex_.
    std::vector<std::unique_ptr<Image>> done_;  // by file index; null until decoded or after taken
    size_t claimed_ = 0;  // files handed to a worker so far, in order
    size_t taken_ = 0;    // files handed to the caller so far
    bool stopping_ = false;
    std::vector<std::thread> workers_;  // last: they start once everything above exists
};

} // namespace volleyrun

// ImageDecoder: decodes a list of image files to RGBA pixels on one worker thread, a few
// files ahead of the caller, so that the texture store can upload one image while the
// next is being decoded. Created by the texture store at graphics start-up and gone when
// the table is filled. The decoder keeps global state, so there is never more than one
// decoding thread. Next() is called from the game thread only.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

    // Starts decoding files in order, at most `ahead` of them waiting to be taken.
    explicit ImageDecoder(std::vector<std::string> files, size_t ahead = 3);
    ImageDecoder(const ImageDecoder&) = delete;
    ImageDecoder& operator=(const ImageDecoder&) = delete;
    ~ImageDecoder();  // stops the worker (an unfinished list is abandoned) and joins it

    // The next file's image, in list order; waits while it is being decoded. Null once
    // every file was taken.
    std::unique_ptr<Image> Next();

private:
    void Work();

    std::vector<std::string> files_;
    size_t ahead_;
    size_t taken_ = 0;  // game thread only
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Image>> ready_;  // decoded, in order; guarded by mutex_
    bool stopping_ = false;                     // guarded by mutex_
    std::thread worker_;                        // last: starts once everything above exists
};

#include "TestServer.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "BodyPattern.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::size_t Number(const httplib::Request& request, std::size_t index) {
  return std::stoul(request.matches[static_cast<int>(index)].str());
}

// Headers cpp-httplib adds to a request itself; they never were on the wire.
bool AddedByServer(const std::string& name) {
  return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
         name == "LOCAL_PORT";
}

void Bytes(const httplib::Request& request, httplib::Response& response) {
  response.set_content(BodyPattern(Number(request, 1)), "application/octet-stream");
}

void Chunked(const httplib::Request& request, httplib::Response& response) {
  const std::size_t size = Number(request, 1);
  response.set_chunked_content_provider(
      "application/octet-stream", [size](std::size_t offset, httplib::DataSink& sink) {
        const std::size_t piece = std::min<std::size_t>(1000, size - offset);
        if (piece > 0) sink.write(BodyPattern(piece, offset).data(), piece);
        if (offset + piece == size) sink.done();
        return true;
      });
}

void Trickle(const httplib::Request& request, httplib::Response& response) {
  const std::size_t pieces = Number(request, 1);
  const auto delay = std::chrono::milliseconds(Number(request, 2));
  response.set_chunked_content_provider(
      "application/octet-stream", [pieces, delay](std::size_t offset, httplib::DataSink& sink) {
        std::this_thread::sleep_for(delay);
        sink.write(BodyPattern(10, offset).data(), 10);
        if (offset + 10 == pieces * 10) sink.done();
        return true;
      });
}

void Status(const httplib::Request& request, httplib::Response& response) {
  response.status = static_cast<int>(Number(request, 1));
  response.set_content("status " + std::to_string(response.status), "text/plain");
}

void Echo(const httplib::Request& request, httplib::Response& response) {
  std::string text = request.method + " " + request.target + " " + request.version + "\n";
  for (const auto& [name, value] : request.headers) {
    if (!AddedByServer(name)) text += name + ": " + value + "\n";
  }
  response.set_content(text, "text/plain");
}

void Hang(const httplib::Request&, httplib::Response& response) {
  response.set_chunked_content_provider(
      "text/plain", [](std::size_t offset, httplib::DataSink& sink) {
        if (offset == 0) {
          sink.write("partial", 7);
          return true;
        }
        const auto end = Clock::now() + 5s;
        while (sink.is_writable() && Clock::now() < end) std::this_thread::sleep_for(10ms);
        return false;
      });
}

void Stall(const httplib::Request&, httplib::Response& response) {
  std::this_thread::sleep_for(1s);
  response.set_content("late", "text/plain");
}

httplib::Server& WithRoutes(httplib::Server& server) {
  server.Get(R"(/bytes/(\d+))", Bytes);
  server.Get(R"(/chunked/(\d+))", Chunked);
  server.Get(R"(/trickle/(\d+)/(\d+))", Trickle);
  server.Get(R"(/status/(\d+))", Status);
  server.Get(R"(/echo.*)", Echo);
  server.Get("/hang", Hang);
  server.Get("/stall", Stall);
  return server;
}

}  // namespace

TestServer::TestServer() : m_listener(WithRoutes(m_server)) {}

#!/usr/bin/env bash
# Installs what building, testing, fuzzing and packaging need on a fresh Debian 12 machine.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
    cmake ninja-build g++ clang libclang-rt-14-dev llvm \
    libgtest-dev libgmock-dev googletest \
    qt6-base-dev libgl-dev xz-utils ca-certificates \
    pkg-config libewf-dev libvhdi-dev libvmdk-dev libqcow-dev \
    qemu-utils ewf-tools \
    dpkg-dev file desktop-file-utils appstream libxml2-utils man-db \
    dosfstools fusefat >/dev/null
# libewf-dev, libvhdi-dev, libvmdk-dev, libqcow-dev: the E01, VHD/VHDX, VMDK and QCOW readers;
# qemu-utils (qemu-img) and ewf-tools (ewfacquire, ewfmount): the format images of the tests and
# benchmarks; dosfstools, fusefat: a vfat destination for the recovery tests.

#pragma once

#include <QByteArray>

// /proc/mdstat of a server with one RAID 1 array, whole and with a disk gone.
inline const QByteArray HealthyMdstat = "Personalities : [raid1]\n"
                                        "md0 : active raid1 sdb1[1] sda1[0]\n"
                                        "      1048512 blocks [2/2] [UU]\n\n"
                                        "unused devices: <none>\n";
inline const QByteArray DegradedMdstat = "Personalities : [raid1]\n"
                                         "md0 : active raid1 sda1[0]\n"
                                         "      1048512 blocks [2/1] [U_]\n\n"
                                         "unused devices: <none>\n";

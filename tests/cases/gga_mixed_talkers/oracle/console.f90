program console
  implicit none
  real*8 :: lat1, lon1, lat2, lon2, mlat, mlon
  real*4 :: height
  integer :: length_code, zone, run
  character(len=19) :: file_name
  character(len=1) :: codes(2) = (/ 'X', 'S' /)
  character(len=3) :: exts(2) = (/ 'xyz', 'san' /)
  ! the two decoded fixes: degrees + minutes/60, as the parser computes them
  lat1 = 45 + 0.0d0/60.0d0
  lon1 = 5 + 58.0d0/60.0d0
  lat2 = 45 + 1.2d0/60.0d0
  lon2 = 6 + 4.0d0/60.0d0
  mlat = (lat1 + lat2) / 2
  mlon = (lon1 + lon2) / 2
  height = 0.5
  length_code = 1
  zone = 32
  print *, '***************************************************'
  print *, '************* Program QUILLET5 V1.71 **************'
  print *, '******* Transcribes Veltor Data RAW Files  ********'
  print *, '***************************************************'
  do run = 1, 2
    print *, '>>>Transcribe file survey.raw to file type '//codes(run)
    print *
    print *, '*** Transcription v1.20 ***'
    print *
    print *, 'Default/user-set instrument height (at axis of sensor) is ', height
    print *, 'Enter Sensor height manually or type / followed by <ENTER> to accept this value '
    print *, 'For mean Lat, Lon=', mlat, mlon, ' get UTM Zone Number ', zone
    file_name = 'MIXED.'//exts(run)
    print *, '   Output file: '//file_name
    print *, '   Sensor Length code for this file is ', length_code
    print *, '   Normal end of data encountered.'
    print *, '   Data  successfully transcribed!'
  end do
end program

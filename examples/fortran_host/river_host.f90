! river_host: a host program in Fortran that drives TULMA the way a river
! model does, one call per host time step.
!
! A river model computes its own geometry and water levels. This one reads
! them from a host arrays file (`tulma-run SCENARIO --record-calls FILE`
! writes one; its layout is in docs/host-interface.md), so that it makes
! exactly the calls the stand-in host makes, and gets the same reports.
!
! usage: river_host HOST_ARRAYS_FILE
! Run it in a folder holding the library's input files (vegetation.txt, the
! map it names and, if a kind needs it, temperature.txt); the reports are
! written there.
program river_host
  use, intrinsic :: iso_c_binding, only: c_double, c_int32_t
  use, intrinsic :: iso_fortran_env, only: error_unit, iostat_end
  use tulma
  implicit none

  ! The levee ranges of one cross section. The cross-section record holds
  ! their addresses, so they live in a TARGET variable for the whole run.
  type :: lev_ranges
    real(c_double), allocatable :: start(:), end(:)
  end type lev_ranges

  integer(c_int32_t) :: metric, veg_ready, n_reach, n_xc, max_npt, jday0, n_gis_xc
  integer(c_int32_t), allocatable :: nxc_reach(:), first_xc(:), npt(:), n_rr(:), xc_class(:), &
                                     gis_xc(:)
  real(c_double), allocatable :: loc_rr(:, :), sect_rr(:, :)
  real(c_double), allocatable, dimension(:, :) :: sta, ele, x, y, pt_rr, z_gw, cap_ele, scour_var
  type(tulma_xc_data), allocatable :: xc_data(:)
  type(tulma_xc_ref), allocatable :: xc_ref(:)
  type(lev_ranges), allocatable, target :: lev(:)
  real(c_double) :: time, unused(2)
  character(len=4096) :: path
  character(len=64) :: header
  integer :: u, ios, i, calls

  if (command_argument_count() /= 1) then
    write (error_unit, '(a)') 'usage: river_host HOST_ARRAYS_FILE'
    stop 2
  end if
  call get_command_argument(1, path)
  open (newunit=u, file=trim(path), status='old', action='read', iostat=ios)
  if (ios /= 0) then
    write (error_unit, '(a)') 'river_host: cannot open '//trim(path)
    stop 2
  end if
  read (u, '(a)') header
  if (header /= 'TULMA host arrays 1') then
    write (error_unit, '(a)') 'river_host: '//trim(path)//' is not a host arrays file'
    stop 2
  end if

  ! The river: its reaches, cross sections and points.
  read (u, *) metric, n_reach, n_xc, max_npt, jday0, n_gis_xc
  allocate (nxc_reach(n_reach), first_xc(n_reach), npt(n_xc), n_rr(n_xc), xc_class(n_xc), &
            gis_xc(max(1, n_gis_xc)), xc_data(n_xc), xc_ref(n_xc), lev(n_xc))
  allocate (loc_rr(30, n_xc), sect_rr(30, n_xc), source=0.0_c_double)
  allocate (sta(max_npt, n_xc), ele(max_npt, n_xc), x(max_npt, n_xc), y(max_npt, n_xc), &
            pt_rr(max_npt, n_xc), z_gw(max_npt, n_xc), cap_ele(max_npt, n_xc), &
            scour_var(max_npt, n_xc), source=0.0_c_double)
  gis_xc = 0
  read (u, *) nxc_reach
  read (u, *) first_xc
  read (u, *) gis_xc(1:n_gis_xc)
  do i = 1, n_xc
    call read_cross_section(i)
  end do

  ! One call per host time step, until the file ends.
  veg_ready = tulma_false
  calls = 0
  do
    read (u, *, iostat=ios) time
    if (ios == iostat_end) exit
    if (ios /= 0) error stop 'river_host: unreadable time in the host arrays file'
    do i = 1, n_xc
      read (u, *) z_gw(1:npt(i), i)
      read (u, *) cap_ele(1:npt(i), i)
      read (u, *) scour_var(1:npt(i), i)
    end do
    call main_veg_tulma(metric, veg_ready, n_reach, n_xc, max_npt, nxc_reach, npt, first_xc, &
                        loc_rr, sect_rr, n_rr, time, jday0, unused(1), xc_data, xc_ref, sta, &
                        ele, pt_rr, unused(2), scour_var, z_gw, cap_ele, xc_class, x, y, &
                        gis_xc, n_gis_xc)
    calls = calls + 1
  end do
  close (u)
  write (*, '(a, i0, a)') 'river_host: ', calls, ' host calls made'

contains

  ! Cross section i: its counts and lengths, its roughness sections, its levee
  ! ranges, and its points with the host's Manning's n before the first call.
  subroutine read_cross_section(i)
    integer, intent(in) :: i
    integer(c_int32_t) :: lbank_k, rbank_k, lev_count
    real(c_double) :: xc_dist, len_ch, len_lob, len_rob, ref_ele
    integer :: n

    read (u, *) npt(i), n_rr(i), xc_class(i), lbank_k, rbank_k, lev_count
    read (u, *) xc_dist, len_ch, len_lob, len_rob, ref_ele
    read (u, *) loc_rr(1:n_rr(i), i)
    read (u, *) sect_rr(1:n_rr(i), i)
    allocate (lev(i)%start(lev_count), lev(i)%end(lev_count))
    read (u, *) lev(i)%start
    read (u, *) lev(i)%end
    n = npt(i)
    read (u, *) sta(1:n, i)
    read (u, *) ele(1:n, i)
    read (u, *) x(1:n, i)
    read (u, *) y(1:n, i)
    read (u, *) pt_rr(1:n, i)
    xc_data(i)%bytes = 0
    xc_ref(i)%bytes = 0
    call tulma_pack_xc_data(xc_data(i), lbank_k, rbank_k, xc_dist, len_ch, len_lob, len_rob, &
                            lev(i)%start, lev(i)%end)
    call tulma_pack_xc_ref(xc_ref(i), ref_ele)
  end subroutine read_cross_section

end program river_host

! TULMA riparian vegetation library: the host call interface for Fortran.
!
! Compile this file with your host program (any Fortran 2018 compiler:
! gfortran, ifx) and `use tulma`. It declares the library's entry point under
! both its exported names, and builds the two records the library reads of
! each cross section from plain values, so that a host never packs bytes.
!
! The entry point takes 28 arguments by reference (see tulma.h for their
! meaning). Arrays are handed over from their first element; point arrays
! a(k, i_xc) have the leading dimension max_npt, roughness-section arrays 30.
! Logicals are 32-bit integers: tulma_true (-1) and tulma_false (0).
module tulma
  use, intrinsic :: iso_c_binding, only: c_double, c_int8_t, c_int32_t, c_int64_t, &
                                         c_intptr_t, c_loc, c_null_ptr, c_ptr
  implicit none
  private

  public :: tulma_true, tulma_false
  public :: tulma_xc_data, tulma_xc_ref, tulma_pack_xc_data, tulma_pack_xc_ref
  public :: main_veg_tulma, veg_main_mod_mp_main_veg

  integer(c_int32_t), parameter :: tulma_true = -1_c_int32_t, tulma_false = 0_c_int32_t

  ! One cross section's record as the library reads it (1336 bytes). The
  ! bytes the library does not read are the host's: the packing routine
  ! leaves them as they are.
  type, bind(c) :: tulma_xc_data
    integer(c_int8_t) :: bytes(1336)
  end type tulma_xc_data

  ! The reference record of a cross section (864 bytes).
  type, bind(c) :: tulma_xc_ref
    integer(c_int8_t) :: bytes(864)
  end type tulma_xc_ref

  ! Byte offsets, counted from 0, of the fields the library reads.
  integer, parameter :: lev_count_at = 32, lbank_k_at = 60, rbank_k_at = 64, &
                        lev_start_at = 224, lev_end_at = 296, xc_dist_at = 1232, &
                        len_ch_at = 1256, len_lob_at = 1264, len_rob_at = 1272, &
                        ref_ele_at = 672
  ! The mould transfer() takes to give a value's bytes.
  integer(c_int8_t), parameter :: byte(1) = [0_c_int8_t]

  interface
    subroutine main_veg_tulma(metric, veg_ready, n_reach, n_xc, max_npt, nxc_reach, npt, &
                              first_xc, loc_rr, sect_rr, n_rr, time, jday0, unused14, &
                              xc_data, xc_ref, sta, ele, pt_rr, unused20, scour_var, z_gw, &
                              cap_ele, xc_class, x, y, gis_xc, n_gis_xc) &
        bind(c, name="MAIN_VEG_TULMA")
      import :: c_double, c_int32_t, tulma_xc_data, tulma_xc_ref
      integer(c_int32_t), intent(in) :: metric
      integer(c_int32_t), intent(inout) :: veg_ready
      integer(c_int32_t), intent(in) :: n_reach, n_xc, max_npt
      integer(c_int32_t), intent(in) :: nxc_reach(*), npt(*), first_xc(*)
      real(c_double), intent(in) :: loc_rr(*), sect_rr(*)
      integer(c_int32_t), intent(in) :: n_rr(*)
      real(c_double), intent(in) :: time
      integer(c_int32_t), intent(in) :: jday0
      type(*) :: unused14
      type(tulma_xc_data), intent(in) :: xc_data(*)
      type(tulma_xc_ref), intent(in) :: xc_ref(*)
      real(c_double), intent(in) :: sta(*), ele(*)
      real(c_double), intent(inout) :: pt_rr(*)
      type(*) :: unused20
      real(c_double), intent(in) :: scour_var(*), z_gw(*), cap_ele(*)
      integer(c_int32_t), intent(in) :: xc_class(*)
      real(c_double), intent(in) :: x(*), y(*)
      integer(c_int32_t), intent(in) :: gis_xc(*)
      integer(c_int32_t), intent(in) :: n_gis_xc
    end subroutine main_veg_tulma

  end interface

  ! The same entry point under its module-procedure name.
  procedure(main_veg_tulma), bind(c, name="VEG_MAIN_MOD_mp_MAIN_VEG") :: veg_main_mod_mp_main_veg

contains

  ! Packs what the library reads of one cross section into its record:
  ! lbank_k and rbank_k, the first and last point of the main channel; xc_dist,
  ! the distance to the next cross section downstream; len_ch, len_lob and
  ! len_rob, the reach lengths of the main channel and the left and right
  ! overbanks; and, optionally, the station ranges that carry the levee kind.
  ! The record holds the addresses of lev_start and lev_end, not their values:
  ! pass arrays with the TARGET attribute (or allocatable components of a
  ! TARGET variable) that stay in place while the library runs.
  subroutine tulma_pack_xc_data(record, lbank_k, rbank_k, xc_dist, len_ch, len_lob, len_rob, &
                                lev_start, lev_end)
    type(tulma_xc_data), intent(inout) :: record
    integer, intent(in) :: lbank_k, rbank_k
    real(c_double), intent(in) :: xc_dist, len_ch, len_lob, len_rob
    real(c_double), intent(in), target, contiguous, optional :: lev_start(:), lev_end(:)
    integer(c_int32_t) :: lev_count

    lev_count = 0
    if (present(lev_start) .neqv. present(lev_end)) &
      error stop "tulma_pack_xc_data: give lev_start and lev_end together"
    if (present(lev_start)) then
      if (size(lev_start) /= size(lev_end)) &
        error stop "tulma_pack_xc_data: lev_start and lev_end differ in length"
      lev_count = int(size(lev_start), c_int32_t)
    end if
    call put(record%bytes, lev_count_at, transfer(lev_count, byte))
    call put(record%bytes, lbank_k_at, transfer(int(lbank_k, c_int32_t), byte))
    call put(record%bytes, rbank_k_at, transfer(int(rbank_k, c_int32_t), byte))
    if (lev_count > 0) then
      call put_array_ref(record%bytes, lev_start_at, c_loc(lev_start), lev_count)
      call put_array_ref(record%bytes, lev_end_at, c_loc(lev_end), lev_count)
    else
      call put_array_ref(record%bytes, lev_start_at, c_null_ptr, 0_c_int32_t)
      call put_array_ref(record%bytes, lev_end_at, c_null_ptr, 0_c_int32_t)
    end if
    call put(record%bytes, xc_dist_at, transfer(xc_dist, byte))
    call put(record%bytes, len_ch_at, transfer(len_ch, byte))
    call put(record%bytes, len_lob_at, transfer(len_lob, byte))
    call put(record%bytes, len_rob_at, transfer(len_rob, byte))
  end subroutine tulma_pack_xc_data

  ! Packs the cross section's reference elevation into its reference record.
  subroutine tulma_pack_xc_ref(record, ref_ele)
    type(tulma_xc_ref), intent(inout) :: record
    real(c_double), intent(in) :: ref_ele

    call put(record%bytes, ref_ele_at, transfer(ref_ele, byte))
  end subroutine tulma_pack_xc_ref

  ! Writes a value's bytes (transfer(value, byte)) into a record at byte offset at.
  subroutine put(bytes, at, value)
    integer(c_int8_t), intent(inout) :: bytes(:)
    integer, intent(in) :: at
    integer(c_int8_t), intent(in) :: value(:)

    bytes(at + 1:at + size(value)) = value
  end subroutine put

  ! An array reference of nine 64-bit words: the address, the element length,
  ! the offset, flags, the rank, a reserved word, and the extent, stride in
  ! bytes and lower bound (1) of its one dimension.
  subroutine put_array_ref(bytes, at, address, extent)
    integer(c_int8_t), intent(inout) :: bytes(:)
    integer, intent(in) :: at
    type(c_ptr), intent(in) :: address
    integer(c_int32_t), intent(in) :: extent
    integer(c_int64_t) :: words(9)

    words = [int(transfer(address, 0_c_intptr_t), c_int64_t), 8_c_int64_t, -1_c_int64_t, &
             int(z'0301', c_int64_t), 1_c_int64_t, 0_c_int64_t, int(extent, c_int64_t), &
             8_c_int64_t, 1_c_int64_t]
    call put(bytes, at, transfer(words, byte))
  end subroutine put_array_ref

end module tulma
